#!/usr/bin/env python3
"""Makes res/sounds/kill.wav, the sound Quellio plays when it closes a pop-up.

A 0.3 s downward "zap": a square-ish tone sliding from 1600 Hz to 250 Hz under a fast
decay, as 8-bit unsigned mono PCM at 11 025 samples per second. The result is committed.
"""

import math
import os
import wave

RATE = 11025
SECONDS = 0.3
TARGET = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "sounds",
                      "kill.wav")


def samples():
    # An even count keeps the data chunk free of a pad byte.
    count = 2 * round(RATE * SECONDS / 2)
    phase = 0.0
    for n in range(count):
        t = n / count
        frequency = 1600 * (250 / 1600) ** t
        phase += 2 * math.pi * frequency / RATE
        # A touch of the third harmonic gives the tone its edge.
        value = math.sin(phase) + 0.3 * math.sin(3 * phase)
        attack = min(1.0, n / 40)
        envelope = attack * math.exp(-4.0 * t)
        yield max(0, min(255, round(128 + 90 * envelope * value)))


def main():
    os.makedirs(os.path.dirname(TARGET), exist_ok=True)
    with wave.open(TARGET, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(1)
        out.setframerate(RATE)
        out.writeframes(bytes(samples()))


if __name__ == "__main__":
    main()
