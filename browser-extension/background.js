"use strict";

// Quellio's companion in the browser. Through the quellio-bridge host it tells Quellio of
// every window and tab, and closes those Quellio names. The same file runs as the Chromium
// family's service worker and as Firefox's background script.
//
// To Quellio, each message gives the whole state of one thing, so that replaying one twice is harmless:
//   {type: "hello", browser: {name, version, profile}}
//   {type: "window", window: {id, type}}            type as the browser classifies it
//   {type: "windowRemoved", windowId}
//   {type: "tab", tab: {id, windowId, url, opener}} opener: the opening tab's id, or null
//   {type: "tabRemoved", tabId}
//   {type: "ready"}                                  everything open has been told
// From Quellio: {type: "sync"} (tell everything again: Quellio has just connected),
// {type: "closeWindow", windowId}, {type: "closeTab", tabId}.

const api = globalThis.browser ?? globalThis.chrome;
const kHost = "io.github.quellio.bridge";
// An address is cut to this many characters, so that every message stays far below the
// bridge's limit even when the address is escaped in JSON.
const kMaxUrl = 128 * 1024;
const kRetryFirst = 1000;
const kRetryLast = 60000;

let port = null;
let retry = kRetryFirst;
// Quellio hears nothing before it has asked for a sync; while the state is being read for
// it, events wait here and follow the state, so that the last word on each thing is the
// newest.
let synced = false;
let held = null;
let syncs = 0;
// The address last told for each tab, so that a tab is told again only when it changes.
const toldUrls = new Map();

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

function tellTab(tab) {
    const url = tabUrl(tab);
    toldUrls.set(tab.id, url);
    post({
        type: "tab",
        tab: {id: tab.id, windowId: tab.windowId, url, opener: tab.openerTabId ?? null},
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
        toldUrls.clear();
        for (const window of windows) {
            state.push(windowMessage(window));
            for (const tab of window.tabs ?? []) {
                toldUrls.set(tab.id, tabUrl(tab));
                state.push({
                    type: "tab",
                    tab: {id: tab.id, windowId: tab.windowId, url: tabUrl(tab),
                          opener: tab.openerTabId ?? null},
                });
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

function onMessage(message) {
    switch (message?.type) {
    case "sync":
        sync();
        break;
    case "closeWindow":
        api.windows.remove(message.windowId).catch(() => {});
        break;
    case "closeTab":
        api.tabs.remove(message.tabId).catch(() => {});
        break;
    }
}

function onDisconnect() {
    port = null;
    synced = false;
    held = null;
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
api.windows.onRemoved.addListener(windowId => post({type: "windowRemoved", windowId}));
api.tabs.onCreated.addListener(tellTab);
api.tabs.onUpdated.addListener((tabId, change, tab) => {
    if (toldUrls.get(tabId) !== tabUrl(tab)) {
        tellTab(tab);
    }
});
api.tabs.onAttached.addListener(tabId => api.tabs.get(tabId).then(tellTab, () => {}));
api.tabs.onRemoved.addListener(tabId => {
    toldUrls.delete(tabId);
    post({type: "tabRemoved", tabId});
});
api.tabs.onReplaced?.addListener((addedTabId, removedTabId) => {
    toldUrls.delete(removedTabId);
    post({type: "tabRemoved", tabId: removedTabId});
    api.tabs.get(addedTabId).then(tellTab, () => {});
});
// Listening to the browser's start wakes this script when the browser starts.
api.runtime.onStartup.addListener(() => {});

connect();
