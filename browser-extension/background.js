"use strict";

// Quellio's companion in the browser. Through the quellio-bridge host it tells Quellio of
// every window and tab, closes those Quellio names, and removes the browser's data for
// Quellio's cleaner. The same file runs as the Chromium family's service worker and as
// Firefox's background script.
//
// To Quellio, each message gives the whole state of one thing, so that replaying one twice is harmless:
//   {type: "hello", browser: {name, version, profile}}
//   {type: "window", window: {id, type}}            type as the browser classifies it
//   {type: "windowRemoved", windowId}
//   {type: "tab", tab: {id, windowId, url, opener, held}}
//                                                   opener: the opening tab's id, or null;
//                                                   held: its first page waits for Quellio
//   {type: "tabRemoved", tabId}
//   {type: "ready"}                                  everything open has been told
//   {type: "answer", id, done, error}                a request's outcome: done true, or false
//                                                   with the browser's error
// From Quellio: {type: "sync"} (tell everything again: Quellio has just connected),
// {type: "closeWindow", windowId}, {type: "closeTab", tabId}, {type: "watch", on} (whether
// Quellio judges new tabs at once), {type: "release", tabId} (a held tab may load its page),
// {type: "clean", id, data} (remove one kind of data for all time: "cookies", "cache",
// "history" or "favorites"; answered with the same id).
//
// While Quellio watches, where the browser lets an extension hold a request (Firefox), a new
// tab's first page is held until Quellio has judged the tab, so that a pop-up it closes never
// asks its server for anything. The address comes with the earliest event that names it:
// webNavigation.onCreatedNavigationTarget, a few milliseconds before the held request.

const api = globalThis.browser ?? globalThis.chrome;
const kHost = "io.github.quellio.bridge";
// An address is cut to this many characters, so that every message stays far below the
// bridge's limit even when the address is escaped in JSON.
const kMaxUrl = 128 * 1024;
const kRetryFirst = 1000;
const kRetryLast = 60000;
// How long a new tab's first page waits for Quellio's verdict at most.
const kHoldLimit = 1000;
// Only Firefox's package asks for the request permissions: Chromium takes blocking request
// listeners only from extensions installed by policy.
const kCanHold = Boolean(api.webRequest);

let port = null;
let retry = kRetryFirst;
// Quellio hears nothing before it has asked for a sync; while the state is being read for
// it, events wait here and follow the state, so that the last word on each thing is the
// newest.
let synced = false;
let held = null;
let syncs = 0;
// What was last told of each tab, so that a tab is told again only when it changes.
const told = new Map();
// Tabs whose first page has not been asked for yet.
const fresh = new Set();
// Held first pages by tab id: {finish(cancel), timer}.
const holds = new Map();
let watched = false;
// Windows and tabs Quellio asked to close: a page they ask for on their way out is cancelled.
const closingWindows = new Set();
const closingTabs = new Set();

function post(message) {
    if (!port || !synced) {
        return;
    }
    if (held) {
        held.push(message);
        return;
    }
    try {
        port.postMessage(message);
    } catch (error) {
        // The port has just closed; onDisconnect reconnects.
    }
}

function windowMessage(window) {
    return {type: "window", window: {id: window.id, type: window.type}};
}

// A tab shows the address it is loading as soon as the browser knows it (pendingUrl,
// Chromium), else the one it shows.
function tabUrl(tab) {
    return (tab.pendingUrl || tab.url || "").slice(0, kMaxUrl);
}

function tabState(tab) {
    return {id: tab.id, windowId: tab.windowId, url: tabUrl(tab), opener: tab.openerTabId ?? null,
            held: holds.has(tab.id)};
}

function tell(state) {
    told.set(state.id, state);
    post({type: "tab", tab: state});
}

function isBlank(url) {
    return url === "" || url === "about:blank";
}

// Lets a held first page go on, or cancels it.
function release(tabId, cancel) {
    const hold = holds.get(tabId);
    if (hold) {
        holds.delete(tabId);
        clearTimeout(hold.timer);
        hold.finish(cancel);
    }
}

function releaseAll() {
    for (const tabId of [...holds.keys()]) {
        release(tabId, false);
    }
}

function onTabUpdated(tab) {
    const known = told.get(tab.id);
    const state = tabState(tab);
    // While the first page loads, Firefox still shows the tab as blank: the address already
    // told stays until the page commits.
    if (known && known.windowId === state.windowId &&
        (known.url === state.url ||
         (tab.status === "loading" && isBlank(state.url) && !isBlank(known.url)))) {
        return;
    }
    tell(state);
}

// A page opened a new tab or window: its address, before anything else names it. The
// event is about the new tab's top frame (it names no frame).
function onNavigationTarget(details) {
    const known = told.get(details.tabId);
    if (known && isBlank(known.url)) {
        tell({...known, url: details.url.slice(0, kMaxUrl)});
    }
}

// The first page of a new tab waits for Quellio's verdict, within a bound.
function onBeforeRequest(details) {
    const known = told.get(details.tabId);
    if (closingTabs.has(details.tabId) || closingWindows.has(known?.windowId)) {
        return {cancel: true};
    }
    if (!fresh.delete(details.tabId)) {
        return {};
    }
    if (!known || !watched || !port || !synced) {
        return {};
    }
    return new Promise(resolve => {
        holds.set(details.tabId, {
            finish: cancel => resolve(cancel ? {cancel: true} : {}),
            timer: setTimeout(() => release(details.tabId, false), kHoldLimit),
        });
        tell({...known, url: details.url.slice(0, kMaxUrl), held: true});
    });
}

async function browserInfo() {
    let name = "Chromium";
    let version = "";
    if (api.runtime.getBrowserInfo) {
        ({name, version} = await api.runtime.getBrowserInfo());
    } else {
        const brands = navigator.userAgentData?.brands ?? [];
        const own = brands.find(b => b.brand !== "Chromium" && !/Not.A.Brand/i.test(b.brand));
        name = own?.brand ?? name;
        version = /Chrome\/([\d.]+)/.exec(navigator.userAgent)?.[1] ?? "";
    }
    // Browsers do not name their profile to extensions: an id made once per profile tells
    // two profiles of one browser apart.
    let {profile} = await api.storage.local.get("profile");
    if (!profile) {
        profile = crypto.randomUUID();
        await api.storage.local.set({profile});
    }
    return {name, version, profile};
}

async function sync() {
    const mine = ++syncs;
    synced = true;
    held = [];
    try {
        const browser = await browserInfo();
        const windows = await api.windows.getAll({populate: true});
        if (mine !== syncs) {
            return;  // a newer sync tells everything again
        }
        const state = [{type: "hello", browser}];
        told.clear();
        for (const window of windows) {
            state.push(windowMessage(window));
            for (const tab of window.tabs ?? []) {
                const tabMessage = tabState(tab);
                told.set(tab.id, tabMessage);
                state.push({type: "tab", tab: tabMessage});
            }
        }
        state.push({type: "ready"}, ...held);
        held = null;
        state.forEach(post);
    } catch (error) {
        // Reading the state failed: start over with a fresh connection.
        held = null;
        port?.disconnect();
        onDisconnect();
    }
}

// What the browser removes for each kind of data Quellio cleans. Cookies go with the site data
// browsers group with them; Firefox keeps no cache storage or file systems of its own kind.
const kSiteData = {cookies: true, localStorage: true, indexedDB: true, serviceWorkers: true};
const kRemovals = {
    cookies: api.runtime.getBrowserInfo ? kSiteData
                                        : {...kSiteData, cacheStorage: true, fileSystems: true},
    cache: {cache: true},
    history: {history: true, downloads: true},
};

// Removes every bookmark and folder the user made. The browser's root folders stay, and so do
// those a policy manages.
async function removeBookmarks() {
    const [root] = await api.bookmarks.getTree();
    for (const folder of root.children ?? []) {
        if (folder.unmodifiable) {
            continue;
        }
        for (const node of folder.children ?? []) {
            await (node.children ? api.bookmarks.removeTree(node.id)
                                 : api.bookmarks.remove(node.id));
        }
    }
}

async function clean(message) {
    const answer = {type: "answer", id: message.id, done: false};
    try {
        if (message.data === "favorites") {
            await removeBookmarks();
        } else if (Object.hasOwn(kRemovals, message.data)) {
            // No start time: everything, however old.
            await api.browsingData.remove({}, kRemovals[message.data]);
        } else {
            throw new Error(`no such data: ${message.data}`);
        }
        answer.done = true;
    } catch (error) {
        answer.error = String(error?.message ?? error).slice(0, 1000);
    }
    post(answer);
}

function onMessage(message) {
    switch (message?.type) {
    case "sync":
        sync();
        break;
    case "closeWindow":
        closingWindows.add(message.windowId);
        for (const [tabId, tab] of told) {
            if (tab.windowId === message.windowId) {
                release(tabId, true);
            }
        }
        api.windows.remove(message.windowId).catch(() => {});
        break;
    case "closeTab":
        closingTabs.add(message.tabId);
        release(message.tabId, true);
        api.tabs.remove(message.tabId).catch(() => {});
        break;
    case "watch":
        watched = message.on === true;
        if (!watched) {
            releaseAll();
        }
        break;
    case "release":
        release(message.tabId, false);
        break;
    case "clean":
        clean(message);
        break;
    }
}

function onDisconnect() {
    port = null;
    synced = false;
    held = null;
    watched = false;
    releaseAll();
    // The bridge waits for Quellio itself; a port that closes means the bridge is missing or
    // ended, so the next try comes later and later.
    setTimeout(connect, retry);
    retry = Math.min(retry * 2, kRetryLast);
}

function connect() {
    if (port) {
        return;
    }
    port = api.runtime.connectNative(kHost);
    port.onMessage.addListener(message => {
        retry = kRetryFirst;
        onMessage(message);
    });
    port.onDisconnect.addListener(() => {
        // Reading lastError tells the browser that the failure was seen.
        void api.runtime.lastError;
        onDisconnect();
    });
}

api.windows.onCreated.addListener(window => post(windowMessage(window)));
api.windows.onRemoved.addListener(windowId => {
    closingWindows.delete(windowId);
    post({type: "windowRemoved", windowId});
});
api.tabs.onCreated.addListener(tab => {
    fresh.add(tab.id);
    tell(tabState(tab));
});
api.tabs.onUpdated.addListener((tabId, change, tab) => onTabUpdated(tab));
api.tabs.onAttached.addListener(tabId => api.tabs.get(tabId).then(onTabUpdated, () => {}));
function forget(tabId) {
    told.delete(tabId);
    fresh.delete(tabId);
    closingTabs.delete(tabId);
    release(tabId, true);
    post({type: "tabRemoved", tabId});
}
api.tabs.onRemoved.addListener(forget);
api.tabs.onReplaced?.addListener((addedTabId, removedTabId) => {
    forget(removedTabId);
    api.tabs.get(addedTabId).then(onTabUpdated, () => {});
});
api.webNavigation.onCreatedNavigationTarget.addListener(onNavigationTarget);
if (kCanHold) {
    api.webRequest.onBeforeRequest.addListener(
        onBeforeRequest, {urls: ["http://*/*", "https://*/*"], types: ["main_frame"]},
        ["blocking"]);
}
// Listening to the browser's start wakes this script when the browser starts.
api.runtime.onStartup.addListener(() => {});

connect();
