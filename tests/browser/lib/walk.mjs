// Runs one browser walk: checks that the browser and its driver are there (exit code 77, which
// ctest reports as skipped, when they are not), opens a fresh installation, launches headless
// chromium, hands both to the walk and cleans up whatever happens. Exit code 0 when the walk
// passes, 1 when it fails.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { Installation, installationInputs } from './installation.mjs';

export const kSkipExitCode = 77;
const kChromium = '/usr/bin/chromium';
const kChromiumArgs = [
  '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic',
];
// A walk that takes longer than this has hung; the whole run is torn down.
const kWatchdogMillis = 90000;
// The longest a single page action may wait.
const kActionMillis = 10000;

const packageDirectory = path.dirname(path.dirname(fileURLToPath(import.meta.url)));

function missingTool() {
  try {
    fs.accessSync(kChromium, fs.constants.X_OK);
  } catch {
    return `${kChromium} is not installed`;
  }
  if (!fs.existsSync(path.join(packageDirectory, 'node_modules', 'playwright-core', 'package.json'))) {
    return `playwright-core is not installed (run npm ci in ${packageDirectory})`;
  }
  return null;
}

// Screenshots of one walk, numbered in the order they were taken.
class Artefacts {
  constructor(directory) {
    this.directory = directory;
    this.count = 0;
    fs.rmSync(directory, { recursive: true, force: true });
    fs.mkdirSync(directory, { recursive: true });
  }

  async shot(page, name) {
    this.count += 1;
    const file = path.join(this.directory, `${String(this.count).padStart(2, '0')}-${name}.png`);
    await page.screenshot({ path: file, fullPage: true });
    return file;
  }
}

// walk(context) receives { installation, browser, artefacts, log } and throws on failure.
// A walk may throw SkipWalk to report itself as skipped.
export class SkipWalk extends Error {}

export async function runWalk(name, walk) {
  const missing = missingTool();
  if (missing) {
    console.log(`SKIP: ${missing}`);
    process.exit(kSkipExitCode);
  }
  const artefactRoot = process.env.QUAR_ARTEFACTS;
  if (!artefactRoot) {
    console.error('QUAR_ARTEFACTS is not set (the ctest registration passes it)');
    process.exit(1);
  }
  const { chromium } = await import('playwright-core');
  const installation = new Installation();
  let browser = null;
  let cleaned = false;
  const cleanUp = async () => {
    if (cleaned) {
      return;
    }
    cleaned = true;
    if (browser) {
      await browser.close().catch(() => {});
    }
    await installation.close();
  };
  // Whatever ends the run early still stops lighttpd and chromium and removes the folder.
  const abort = async (reason) => {
    console.error(`FAIL: ${name}: ${reason}`);
    await cleanUp();
    process.exit(1);
  };
  const watchdog = setTimeout(() => abort(`did not finish within ${kWatchdogMillis / 1000} s`),
                              kWatchdogMillis);
  process.on('unhandledRejection', (error) => abort(error?.stack || error));
  process.on('uncaughtException', (error) => abort(error?.stack || error));
  for (const signal of ['SIGTERM', 'SIGINT']) {
    process.on(signal, () => abort(`stopped by ${signal}`));
  }

  const started = Date.now();
  let status = 0;
  try {
    await installation.open(installationInputs());
    browser = await chromium.launch({ executablePath: kChromium, args: kChromiumArgs });
    const artefacts = new Artefacts(path.join(artefactRoot, name));
    const log = (text) => console.log(`[${((Date.now() - started) / 1000).toFixed(1)} s] ${text}`);
    await walk({ installation, browser, artefacts, log, actionMillis: kActionMillis });
    console.log(`PASS: ${name} in ${((Date.now() - started) / 1000).toFixed(1)} s; ` +
                `screenshots in ${artefacts.directory}`);
  } catch (error) {
    if (error instanceof SkipWalk) {
      console.log(`SKIP: ${error.message}`);
      status = kSkipExitCode;
    } else {
      console.error(`FAIL: ${name}: ${error.stack || error}`);
      const errorLog = installation.root ? installation.errorLog().trim() : '';
      if (errorLog) {
        console.error(`--- lighttpd error log ---\n${errorLog}`);
      }
      status = 1;
    }
  } finally {
    clearTimeout(watchdog);
    await cleanUp();
  }
  process.exit(status);
}
