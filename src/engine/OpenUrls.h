#pragma once

#include <optional>
#include <string>
#include <vector>

class IBrowserWindows;

// The addresses of the open browser windows, in the order of the collection, except those of
// the file scheme (folder windows of the file manager; letter case significant). Nothing
// when there is no collection or its count fails. An item that is no browser window is
// passed over; any other failure ends the reading with the addresses read so far. An
// address that cannot be read counts as the empty one. Only reads: closes nothing.
std::optional<std::vector<std::string>> ReadOpenUrls(IBrowserWindows* pWindows);
