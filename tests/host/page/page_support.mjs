// What the page's browser tests share: dul-host on a free port with the virtual clock, headless
// Chromium driven by playwright-core (which install_playwright.mjs, run first by ctest, puts under
// the build folder's npm-page/), calls to the host with its token, and pages in fresh contexts.
// DUL_BUILD names the build folder.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, rmSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import path from "node:path";

export const build = path.resolve(process.env.DUL_BUILD ?? "build/release");
export const screenshots = path.join(build, "page-screenshots");
const chromiumPath = "/usr/bin/chromium";
// Nothing leaves the machine: no updates, no metrics, no translation, no safe-browsing lists.
const offlineFlags = [
  "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--disable-default-apps", "--disable-extensions", "--metrics-recording-only",
  "--disable-features=Translate,OptimizationHints,MediaRouter,DialMediaRouteProvider",
  "--disable-domain-reliability", "--safebrowsing-disable-auto-update",
];

export const playwrightPrefix = path.join(build, "npm-page");
export const playwrightPackage = "playwright-core@1.65.2";
export const playwrightInstalled = () =>
  existsSync(path.join(playwrightPrefix, "node_modules", "playwright-core"));

function playwright() {
  if (!playwrightInstalled()) {
    throw new Error(`playwright-core is not in ${playwrightPrefix}: run ` +
      "node tests/host/page/install_playwright.mjs (ctest runs it before these tests)");
  }
  return createRequire(path.join(playwrightPrefix, "package.json"))("playwright-core");
}

// Starts dul-host on a free port with a virtual clock; resolves with its page address.
function startHost(state, extra) {
  const host = spawn(path.join(build, "dul-host"),
    ["--port", "0", "--clock", "virtual", "--state", state, ...extra],
    { stdio: ["ignore", "pipe", "inherit"] });
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

// One dul-host and one browser for a test file: `await session.start()` in before(),
// `await session.stop()` in after().
export class PageSession {
  constructor(extraHostOptions = []) {
    this.extra = extraHostOptions;
  }

  async start() {
    mkdirSync(screenshots, { recursive: true });
    this.state = mkdtempSync(path.join(tmpdir(), "dul-page-"));
    this.host = await startHost(this.state, this.extra);
    this.browser = await playwright().chromium.launch({ executablePath: chromiumPath,
      headless: true, args: offlineFlags });
  }

  async stop() {
    await this.browser?.close();
    if (this.host) {
      await this.call("POST", "/dul-host/v1/shutdown", {});
      await new Promise((resolve) => this.host.process.once("exit", resolve));
    }
    rmSync(this.state, { recursive: true, force: true });
  }

  get pageAddress() {
    return `${this.host.origin}/#token=${this.host.token}`;
  }

  // A call with the token that must succeed; the parsed body, or null when there is none. A text
  // body goes as it is (JSON written by hand, with ids beyond 2^53), any other as JSON.
  async call(method, route, body) {
    const headers = { Authorization: `Bearer ${this.host.token}` };
    if (body !== undefined)
      headers["Content-Type"] = "application/json";
    const text = body === undefined || typeof body === "string" ? body : JSON.stringify(body);
    const response = await fetch(this.host.origin + route, { method, headers, body: text });
    const answer = await response.text();
    assert.ok(response.ok, `${method} ${route}: ${response.status} ${answer}`);
    return answer ? JSON.parse(answer) : null;
  }

  // A page in a fresh context (its own sessionStorage), with every URL it requests recorded;
  // an error in the page fails the test.
  async openPage(address = this.pageAddress, viewport = { width: 1280, height: 800 }) {
    const context = await this.browser.newContext({ viewport });
    const page = await context.newPage();
    const requested = [];
    page.on("request", (request) => requested.push(new URL(request.url())));
    page.on("pageerror", (error) => assert.fail(`page error: ${error.message}`));
    await page.goto(address);
    return { page, requested };
  }

  screenshot(page, name) {
    return page.screenshot({ path: path.join(screenshots, `${name}.png`), fullPage: true });
  }
}
