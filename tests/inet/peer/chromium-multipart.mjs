// A form that headless Chromium submits (text fields, a textarea and a file) parses into the
// right parts. Chromium is started here on a free DevTools port and stopped by its PID.
// Usage: node chromium-multipart.mjs INET_MIME_PEER_TOOL
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { AWKWARD_BYTES, byName, check, checkBytes, parseWithLibrary, runTest, scratchDir } from './common.mjs';
import { startRecorder } from './recorder.mjs';

const tool = process.argv[2];
const browserPackage = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../browser/package.json');
const { chromium } = createRequire(browserPackage)('playwright-core');

// Starts Chromium and resolves to { child, endpoint } once its DevTools endpoint is known.
function startChromium(profileDir) {
  const child = spawn('/usr/bin/chromium', [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run', '--no-proxy-server',
    `--user-data-dir=${profileDir}`, '--remote-debugging-address=127.0.0.1',
    '--remote-debugging-port=0', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe'], detached: true });
  return new Promise((resolve, reject) => {
    let seen = '';
    child.stderr.on('data', (chunk) => {
      seen += chunk;
      const endpoint = /DevTools listening on (ws:\/\/\S+)/.exec(seen);
      if (endpoint) resolve({ child, endpoint: endpoint[1] });
    });
    child.on('exit', (code) => reject(new Error(`chromium ended (${code}) before listening: ${seen}`)));
  });
}

// Chromium runs in a process group of its own (detached): stopping the group by the browser's
// PID also ends its helper processes, which would otherwise go on writing into the profile.
function signalGroup(child, signal) {
  try {
    process.kill(-child.pid, signal);
  } catch {
    // the group is already gone
  }
}

function stopByPid(child) {
  if (child.exitCode !== null || child.signalCode !== null) {
    signalGroup(child, 'SIGKILL');
    return Promise.resolve();
  }
  return new Promise((resolve) => {
    const force = setTimeout(() => signalGroup(child, 'SIGKILL'), 3000);
    child.on('exit', () => {
      clearTimeout(force);
      signalGroup(child, 'SIGKILL');
      resolve();
    });
    signalGroup(child, 'SIGTERM');
  });
}

runTest(async () => {
  const recorder = await startRecorder();
  const scratch = scratchDir();
  let chromiumProcess = null;
  try {
    const started = await startChromium(scratch.file('profile'));
    chromiumProcess = started.child;
    const browser = await chromium.connectOverCDP(started.endpoint);
    const page = browser.contexts()[0].pages()[0] || (await browser.contexts()[0].newPage());
    await page.goto(`http://127.0.0.1:${recorder.port}/form`);
    await page.fill('input[name=title]', 'Grüße & <tags>');
    await page.fill('textarea[name=notes]', 'line one\nline two');
    await page.setInputFiles('input[name=upload]',
      { name: 'report.bin', mimeType: 'application/octet-stream', buffer: AWKWARD_BYTES });
    const sent = recorder.nextPost();
    await page.click('#send');
    const post = await sent;
    await browser.close();

    check(/boundary=----WebKitFormBoundary/.test(post.headers), `Chromium's boundary: ${post.headers}`);
    const parts = parseWithLibrary(tool, post.headers, post.body);
    check(parts.length === 3, `3 parts expected, got ${parts.length}`);
    const named = byName(parts);
    checkBytes(named.get('title').data, Buffer.from('Grüße & <tags>', 'utf8'), 'title');
    // Browsers send a textarea's line breaks as CR LF.
    checkBytes(named.get('notes').data, 'line one\r\nline two', 'notes');
    checkBytes(named.get('upload').data, AWKWARD_BYTES, 'upload');
    check(/filename="report.bin"/.test(named.get('upload').headers), 'file name in the part headers');
  } finally {
    if (chromiumProcess) await stopByPid(chromiumProcess);
    scratch.remove();
    await recorder.close();
  }
}, 60);
