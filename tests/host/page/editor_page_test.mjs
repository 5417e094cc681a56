// The editor page in headless Chromium against a real dul-host: the list, live updates and the
// page without a token. Usage: node --test editor_page_test.mjs, with DUL_BUILD set to the build
// folder (dul-host, and playwright-core under npm-page/, installed there when missing).
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, rmSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import path from "node:path";
import { after, before, test } from "node:test";

const build = path.resolve(process.env.DUL_BUILD ?? "build/release");
const screenshots = path.join(build, "page-screenshots");
const chromiumPath = "/usr/bin/chromium";
// Nothing leaves the machine: no updates, no metrics, no translation, no safe-browsing lists.
const offlineFlags = [
  "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--disable-default-apps", "--disable-extensions", "--metrics-recording-only",
  "--disable-features=Translate,OptimizationHints,MediaRouter,DialMediaRouteProvider",
  "--disable-domain-reliability", "--safebrowsing-disable-auto-update",
];

function playwright() {
  const prefix = path.join(build, "npm-page");
  if (!existsSync(path.join(prefix, "node_modules", "playwright-core"))) {
    execFileSync("npm", ["install", "--prefix", prefix, "--no-audit", "--no-fund",
      "--loglevel=error", "playwright-core@1.65.2"], { stdio: "inherit" });
  }
  return createRequire(path.join(prefix, "package.json"))("playwright-core");
}

// Starts dul-host on a free port with a virtual clock; resolves with its page address.
function startHost(state) {
  const host = spawn(path.join(build, "dul-host"),
    ["--port", "0", "--clock", "virtual", "--state", state], { stdio: ["ignore", "pipe", "inherit"] });
  return new Promise((resolve, reject) => {
    let output = "";
    host.stdout.on("data", (chunk) => {
      output += chunk;
      const found = output.match(/editor page at (http:\/\/127\.0\.0\.1:\d+)\/#token=([0-9a-f]+)/);
      if (found)
        resolve({ process: host, origin: found[1], token: found[2] });
    });
    host.on("exit", (code) => reject(new Error(`dul-host ended (${code}):\n${output}`)));
  });
}

const sets = (...titles) => ({
  timestamp: 0, accountId: 0,
  itemSets: titles.map(([title, sortrank, blocks]) => ({
    uid: "", title, sortrank, mode: "CLASSIC", map: "SR", type: "custom",
    associatedMaps: [11], associatedChampions: [3, 7],
    blocks: blocks.map((count) => ({
      type: "Block", items: Array.from({ length: count }, (_, i) => ({ id: String(1001 + i), count: 1 })),
    })),
  })),
});

let host;
let state;
let browser;
let summonerId;

async function call(method, route, body) {
  const headers = { Authorization: `Bearer ${host.token}` };
  if (body !== undefined)
    headers["Content-Type"] = "application/json";
  const response = await fetch(host.origin + route,
    { method, headers, body: body === undefined ? undefined : JSON.stringify(body) });
  const text = await response.text();
  assert.ok(response.ok, `${method} ${route}: ${response.status} ${text}`);
  return text ? JSON.parse(text) : null;
}

const putSets = (document) => call("PUT", `/dul-item-sets/v1/item-sets/${summonerId}/sets`, document);

// A page in a fresh context (its own sessionStorage), with every URL it requests recorded.
async function openPage(address) {
  const context = await browser.newContext({ viewport: { width: 1100, height: 600 } });
  const page = await context.newPage();
  const requested = [];
  page.on("request", (request) => requested.push(new URL(request.url())));
  page.on("pageerror", (error) => assert.fail(`page error: ${error.message}`));
  await page.goto(address);
  return { page, requested };
}

const titles = (page) => page.locator("#sets tbody tr td:nth-child(2)").allTextContents();

before(async () => {
  mkdirSync(screenshots, { recursive: true });
  state = mkdtempSync(path.join(tmpdir(), "dul-page-"));
  host = await startHost(state);
  summonerId = (await call("GET", "/dul-login/v1/session")).summonerId;
  browser = await playwright().chromium.launch({ executablePath: chromiumPath, headless: true,
    args: offlineFlags });
});

after(async () => {
  await browser?.close();
  if (host) {
    await call("POST", "/dul-host/v1/shutdown", {});
    await new Promise((resolve) => host.process.once("exit", resolve));
  }
  rmSync(state, { recursive: true, force: true });
});

test("the page shows the empty state, then the sets PUT, in sortrank order, filtered by title",
  async () => {
    const { page, requested } = await openPage(`${host.origin}/#token=${host.token}`);
    await page.locator("#empty").waitFor();
    assert.equal(new URL(page.url()).hash, "", "the token stays in the address bar");
    assert.equal(await page.evaluate(() => sessionStorage.getItem("dul-host-token")), host.token);

    await putSets(sets(["Support", 2, [2]], ["Jungle start", 1, [2, 3]], ["Jungle late", 3, []]));
    await page.reload();  // the token is kept for the tab
    await page.locator("#sets tbody tr").nth(2).waitFor();
    assert.deepEqual(await titles(page), ["Jungle start", "Support", "Jungle late"]);
    const first = await page.locator("#sets tbody tr").first().locator("td").allTextContents();
    assert.deepEqual(first, ["1", "Jungle start", "custom", "CLASSIC", "SR", "3, 7", "2", "5"]);
    await page.screenshot({ path: path.join(screenshots, "list.png") });

    await page.fill("#filter", "JUNGLE");
    assert.deepEqual(await titles(page), ["Jungle start", "Jungle late"]);
    assert.ok(requested.every((url) => !url.href.includes(host.token)), "a URL held the token");
  });

test("a second page sees a PUT at once, through the event stream", async () => {
  const { page } = await openPage(`${host.origin}/#token=${host.token}`);
  await page.locator('#live[data-state="open"]').waitFor();
  await page.locator("#sets tbody tr").first().waitFor();
  await putSets(sets(["Mid lane", 0, [1]]));
  await page.waitForFunction(
    () => document.querySelector("#sets tbody td:nth-child(2)")?.textContent === "Mid lane");
  assert.deepEqual(await titles(page), ["Mid lane"]);
  await page.screenshot({ path: path.join(screenshots, "live.png") });
});

test("without the token the page says how to get one and asks for no data", async () => {
  const { page, requested } = await openPage(`${host.origin}/`);
  await page.locator("#no-token").waitFor();
  assert.match(await page.locator("#no-token").innerText(), /#token=[\s\S]*host\.json/);
  assert.ok(await page.locator("#sets-view").isHidden());
  const data = requested.filter((url) => url.pathname !== "/" && !url.pathname.startsWith("/page/"));
  assert.deepEqual(data.map((url) => url.pathname), []);
  await page.screenshot({ path: path.join(screenshots, "no-token.png") });
});
