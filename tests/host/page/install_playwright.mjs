// Installs playwright-core into the build folder's npm-page/ when it is not there yet. ctest runs
// it once before the page's browser tests, so that two of them starting together never install
// into the same folder at once.
import { execFileSync } from "node:child_process";
import { existsSync } from "node:fs";
import path from "node:path";
import { playwrightPackage, playwrightPrefix } from "./page_support.mjs";

if (!existsSync(path.join(playwrightPrefix, "node_modules", "playwright-core"))) {
  execFileSync("npm", ["install", "--prefix", playwrightPrefix, "--no-audit", "--no-fund",
    "--loglevel=error", playwrightPackage], { stdio: "inherit" });
}
