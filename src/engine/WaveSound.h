#pragma once

#include <cstdint>
#include <vector>

#include "platform/ResourceLookup.h"
#include "platform/Sound.h"

// Plays one sound image held in memory: the kill sound of the main window.
class CWaveSound {
public:
    explicit CWaveSound(ISoundPlayer& player);
    ~CWaveSound();
    CWaveSound(const CWaveSound&) = delete;
    CWaveSound& operator=(const CWaveSound&) = delete;

    // Binds the "WAVE" resource `nId` of `module`. Whatever was bound before is let go first,
    // so a failure leaves nothing bound.
    bool LoadFromResource(std::uint16_t nId, const IResourceLookup& module);

    // Starts the bound sound and returns at once, cutting off one still playing. Answers the
    // player's result, or false when nothing is bound.
    bool Play(bool bLoop = false);

    // Stops any sound that the program plays.
    void Stop();

    // Stops and forgets the bound sound.
    bool Unload();

    bool IsLoaded() const { return m_bLoaded; }

private:
    ISoundPlayer& m_Player;
    bool m_bLoaded = false;
    std::vector<std::uint8_t> m_Data;
};
