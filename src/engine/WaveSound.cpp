#include "engine/WaveSound.h"

#include <utility>

CWaveSound::CWaveSound(ISoundPlayer& player) : m_Player(player) {}

CWaveSound::~CWaveSound() {
    Unload();
}

bool CWaveSound::LoadFromResource(std::uint16_t nId, const IResourceLookup& module) {
    Unload();
    auto data = module.FindResource("WAVE", nId);
    if (!data) {
        return false;
    }
    m_Data = std::move(*data);
    m_bLoaded = true;
    return true;
}

bool CWaveSound::Play(bool bLoop) {
    if (!m_bLoaded) {
        return false;
    }
    Stop();
    return m_Player.PlayWave(m_Data, bLoop);
}

void CWaveSound::Stop() {
    m_Player.Stop();
}

bool CWaveSound::Unload() {
    Stop();
    // Forgetting the image also unbinds it: a later Play must not play nothing as success.
    m_bLoaded = false;
    m_Data.clear();
    return true;
}
