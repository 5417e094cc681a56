// Installs playwright-core into the build folder's npm-page/ when it is not there yet. ctest runs
// it once before the page's browser tests, so that two of them starting together never install
// into the same folder at once.
import { execFileSync } from "node:child_process";
import { playwrightInstalled, playwrightPackage, playwrightPrefix } from "./page_support.mjs";

if (!playwrightInstalled()) {
  execFileSync("npm", ["install", "--prefix", playwrightPrefix, "--no-audit", "--no-fund",
    "--loglevel=error", playwrightPackage], { stdio: "inherit" });
}
