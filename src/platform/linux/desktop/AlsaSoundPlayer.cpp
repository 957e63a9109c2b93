#include "platform/linux/desktop/AlsaSoundPlayer.h"

#include <cerrno>
#include <chrono>
#include <utility>

#include <alsa/asoundlib.h>

#include "platform/linux/desktop/WaveImage.h"

namespace {

// ALSA prints its failures to stderr; a missing device is normal here and must stay quiet.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
    static std::once_flag s_once;
    std::call_once(s_once, [] { snd_lib_error_set_handler(&IgnoreAlsaError); });
}

constexpr unsigned kLatencyUs = 100'000;
constexpr int kWaitMs = 20;

}  // namespace

CAlsaSoundPlayer::CAlsaSoundPlayer(std::string strDevice) : m_strDevice(std::move(strDevice)) {
    SilenceAlsa();
    m_Worker = std::thread([this] { Run(); });
}

CAlsaSoundPlayer::~CAlsaSoundPlayer() {
    {
        const std::lock_guard lock(m_Mutex);
        m_bQuit = true;
        ++m_nGeneration;
    }
    m_Wake.notify_all();
    m_Worker.join();
}

bool CAlsaSoundPlayer::PlayWave(std::span<const std::uint8_t> image, bool bLoop) {
    const auto wave = CWaveImage::Parse(image);
    if (!wave) {
        return false;
    }
    SSound sound{wave->Channels(), wave->SampleRate(), wave->BitsPerSample(),
                 std::vector<std::uint8_t>(wave->Samples().begin(), wave->Samples().end()), bLoop};
    {
        const std::lock_guard lock(m_Mutex);
        m_Pending = std::move(sound);
        ++m_nGeneration;
        m_bBusy = true;
    }
    m_Wake.notify_all();
    return true;
}

void CAlsaSoundPlayer::Stop() {
    {
        const std::lock_guard lock(m_Mutex);
        m_Pending.reset();
        ++m_nGeneration;
        m_bBusy = false;
    }
    m_Wake.notify_all();
}

bool CAlsaSoundPlayer::IsPlaying() const {
    const std::lock_guard lock(m_Mutex);
    return m_bBusy;
}

bool CAlsaSoundPlayer::IsCancelled(std::uint64_t nGeneration) const {
    const std::lock_guard lock(m_Mutex);
    return m_nGeneration != nGeneration;
}

void CAlsaSoundPlayer::Run() {
    std::unique_lock lock(m_Mutex);
    // Zero, not the current count: a call made before this thread got going must be seen.
    std::uint64_t nSeen = 0;
    for (;;) {
        m_Wake.wait(lock, [&] { return m_bQuit || m_nGeneration != nSeen; });
        if (m_bQuit) {
            return;
        }
        nSeen = m_nGeneration;
        std::optional<SSound> sound = std::exchange(m_Pending, std::nullopt);
        if (!sound) {
            continue;
        }
        lock.unlock();
        PlayOnDevice(*sound, nSeen);
        lock.lock();
        if (m_nGeneration == nSeen) {
            m_bBusy = false;
        }
    }
}

void CAlsaSoundPlayer::PlayOnDevice(const SSound& sound, std::uint64_t nGeneration) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, m_strDevice.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        return;
    }
    const snd_pcm_format_t format =
        sound.nBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, sound.nChannels,
                           sound.nSampleRate, 1, kLatencyUs) < 0) {
        snd_pcm_close(pcm);
        return;
    }
    const std::size_t nFrameBytes = std::size_t{sound.nChannels} * sound.nBitsPerSample / 8;
    const auto nFrames = static_cast<snd_pcm_uframes_t>(sound.samples.size() / nFrameBytes);
    bool bCancelled = false;
    do {
        snd_pcm_uframes_t nDone = 0;
        while (nDone < nFrames) {
            bCancelled = IsCancelled(nGeneration);
            if (bCancelled) {
                break;
            }
            const snd_pcm_sframes_t n =
                snd_pcm_writei(pcm, sound.samples.data() + nDone * nFrameBytes, nFrames - nDone);
            if (n == -EAGAIN) {
                snd_pcm_wait(pcm, kWaitMs);
            } else if (n < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0) {
                    snd_pcm_close(pcm);
                    return;
                }
            } else {
                nDone += static_cast<snd_pcm_uframes_t>(n);
                m_nFramesWritten += static_cast<std::uint64_t>(n);
            }
        }
    } while (sound.bLoop && !bCancelled);

    if (!bCancelled) {
        // Let the device play out what it holds, but give way at once to a new request.
        snd_pcm_drain(pcm);
        std::unique_lock lock(m_Mutex);
        while (snd_pcm_state(pcm) == SND_PCM_STATE_DRAINING && m_nGeneration == nGeneration &&
               !m_bQuit) {
            m_Wake.wait_for(lock, std::chrono::milliseconds(kWaitMs));
        }
    }
    snd_pcm_drop(pcm);
    snd_pcm_close(pcm);
}
