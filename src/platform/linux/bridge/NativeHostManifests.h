#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The native messaging host manifests that let the companion extension start quellio-bridge:
// one format for the Chromium family (allowed_origins), one for Firefox (allowed_extensions),
// each allowing only our own extension.

// The name browsers know the host by, which is also the manifest's file name without ".json".
inline constexpr char kNativeHostName[] = "io.github.quellio.bridge";

struct SHostManifestFolder {
    std::filesystem::path folder;  // where the browser looks for host manifests
    bool bFirefox = false;
};

// The manifest for `bridge` (an absolute path), as a browser of the kind reads it.
std::string HostManifest(const std::filesystem::path& bridge, bool bFirefox);

// The user's manifest folders of every browser we know, each only where that browser keeps
// its files: its own folder (the parent of the manifest folder) exists. `home` and
// `configHome` are the home folder and the XDG config folder.
std::vector<SHostManifestFolder> UserHostManifestFolders(const std::filesystem::path& home,
                                                         const std::filesystem::path& configHome);

// Writes the manifest for `bridge` into each folder, creating the folder in its existing
// parent, and only where the file is missing or says something else; each file is replaced
// atomically. Answers how many could not be written (a read-only folder, say).
int WriteHostManifests(const std::vector<SHostManifestFolder>& folders,
                       const std::filesystem::path& bridge);
