#pragma once

#include "engine/UrlList.h"

// Empties the process-wide black and white lists when made and again when it goes, so a
// test starts with them empty and leaves them so.
class CEmptyLists {
public:
    CEmptyLists() { Empty(); }
    ~CEmptyLists() { Empty(); }
    CEmptyLists(const CEmptyLists&) = delete;
    CEmptyLists& operator=(const CEmptyLists&) = delete;

private:
    static void Empty() {
        g_BlackList.RemoveAll();
        g_WhiteList.RemoveAll();
    }
};
