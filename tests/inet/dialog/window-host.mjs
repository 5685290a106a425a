// The library's dialogs as real windows: an Xvfb display of its own, the dialogs shown by the
// window host module, driven with real key events through xdotool. Checks what is stored after
// OK and that nothing is after Cancel or Escape, the tab order, the default button, the
// mnemonic, the placement over an owner window and two dialogs open from two threads at once.
// Screenshots of both dialogs go to ARTEFACT_DIR.
// `quarget --configure` shows the same dialog over a settings key and stores it on OK only.
// Usage: node window-host.mjs DIALOG_DRIVER HOST_MODULE ARTEFACT_DIR QUARGET
import { execFile, spawn } from 'node:child_process';
import { chmodSync, copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, symlinkSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';

import { check, runTest } from '../peer/common.mjs';

const [driver, hostModule, artefacts, quarget] = process.argv.slice(2);
const run = promisify(execFile);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// An X server on a display number it picks itself, stopped by its PID.
async function startXvfb() {
  const server = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
  const display = await new Promise((resolve, reject) => {
    let text = '';
    server.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve(`:${text.trim()}`);
    });
    server.on('exit', (code) => reject(new Error(`Xvfb ended with ${code}`)));
  });
  return { display, stop: () => server.kill('SIGTERM') };
}

function session(env, scratch) {
  const xdo = async (...args) => (await run('xdotool', args, { env, timeout: 15000 })).stdout.trim();
  const self = {
    file: (name) => path.join(scratch, name),
    // Starts the driver; `result` settles with its output when it ends.
    start(args) {
      const child = spawn(driver, args, { env, stdio: ['ignore', 'pipe', 'inherit'] });
      let out = '';
      child.stdout.on('data', (chunk) => { out += chunk; });
      const result = new Promise((resolve) => child.on('exit', (code) => resolve({ code, out })));
      let ended = false;
      result.then(() => { ended = true; });
      return { result, ended: () => ended, kill: () => child.kill('SIGKILL') };
    },
    // The id of the visible window with exactly this caption, once it is mapped.
    window: async (caption) => (await xdo('search', '--sync', '--onlyvisible', '--name', `^${caption}$`)).split('\n')[0],
    async keys(window, ...keys) {
      await xdo('windowfocus', '--sync', window);
      await xdo('key', '--delay', '60', ...keys);
    },
    async type(window, text) {
      await xdo('windowfocus', '--sync', window);
      await xdo('type', '--delay', '40', text);
    },
    async geometry(window) {
      const shell = await xdo('getwindowgeometry', '--shell', window);
      return Object.fromEntries(shell.split('\n').map((line) => line.split('=')).map(([k, v]) => [k, Number(v)]));
    },
    async shot(window, name) {
      await sleep(300);
      mkdirSync(artefacts, { recursive: true });
      await run('import', ['-window', window, path.join(artefacts, name)], { env, timeout: 15000 });
    },
    stored: (name) => (existsSync(self.file(name))
      ? Object.fromEntries(readFileSync(self.file(name), 'latin1').trim().split('\n').map((l) => l.split(/=(.*)/s).slice(0, 2)))
      : null),
  };
  return self;
}

// The driver's output once the dialog has ended, at most a few seconds after the last key.
async function ended(dialog, what) {
  const late = sleep(10000).then(() => null);
  const outcome = await Promise.race([dialog.result, late]);
  if (outcome === null) {
    dialog.kill();
    throw new Error(`${what}: the dialog did not end`);
  }
  const { code, out } = outcome;
  check(code === 0, `${what}: driver ended with ${code}`);
  return out.trim();
}

const PROXY_WITH_USER = {
  UseIEsettings: '0', Proxy: '1', ProxyAddress: '127.0.0.1', ProxyPort: '3128',
  ProxyAuthorization: '1', ProxyLog: 'alice', ProxyPwd: 's3cret',
};

function checkStored(actual, expected, what) {
  check(actual !== null, `${what}: nothing stored`);
  check(JSON.stringify(actual) === JSON.stringify(expected),
    `${what}: stored ${JSON.stringify(actual)}, expected ${JSON.stringify(expected)}`);
}

// Selects "Use proxy server" and fills every field, from the focus on the first choice.
async function fillProxy(s, window, port) {
  await s.keys(window, 'Down', 'Down', 'Tab');
  await s.type(window, '127.0.0.1');
  await s.keys(window, 'Tab');
  await s.type(window, port);
  await s.keys(window, 'Tab', 'space', 'Tab');
  await s.type(window, 'alice');
  await s.keys(window, 'Tab');
  await s.type(window, 's3cret');
}

const scenarios = {
  // Keyboard only: arrows choose, Tab walks the fields, letters in the port field are refused,
  // Enter presses OK, and the record is stored.
  async 'settings stored after OK'(s) {
    const dialog = s.start(['settings', s.file('ok')]);
    const window = await s.window('Internet Connection');
    await fillProxy(s, window, '31a28');
    await s.shot(window, 'settings-dialog.png');
    await s.keys(window, 'Return');
    check(await ended(dialog, 'OK') === 'result 1', 'OK ends with 1');
    checkStored(s.stored('ok'), PROXY_WITH_USER, 'after OK');
  },
  async 'nothing stored after Escape'(s) {
    const dialog = s.start(['settings', s.file('escape')]);
    const window = await s.window('Internet Connection');
    await fillProxy(s, window, '3128');
    await s.keys(window, 'Escape');
    check(await ended(dialog, 'Escape') === 'result 2', 'Escape ends with 2');
    check(s.stored('escape') === null, 'nothing stored after Escape');
  },
  // With a proxy but no address OK is disabled: Enter does nothing, and Tab passes over OK and
  // the disabled user fields on its way to Cancel.
  async 'disabled OK, tab order, Cancel'(s) {
    const dialog = s.start(['settings', s.file('cancel')]);
    const window = await s.window('Internet Connection');
    await s.keys(window, 'Down', 'Down', 'Return');
    await sleep(500);
    check(!dialog.ended(), 'Enter with a disabled OK must not end the dialog');
    // address, port, check box, then (user, password and OK disabled) Cancel.
    await s.keys(window, 'Tab', 'Tab', 'Tab', 'Tab', 'space');
    check(await ended(dialog, 'Cancel') === 'result 2', 'Cancel ends with 2');
    check(s.stored('cancel') === null, 'nothing stored after Cancel');
  },
  // The focus starts on the selected choice, the first stop of the tab order; the arrows move
  // the choice within the group.
  async 'focus starts on the choice'(s) {
    const dialog = s.start(['settings', s.file('arrows'), '--direct']);
    const window = await s.window('Internet Connection');
    await s.keys(window, 'Up', 'Return');
    check(await ended(dialog, 'Up') === 'result 1', 'Enter after Up ends with 1');
    const stored = s.stored('arrows');
    check(stored && stored.UseIEsettings === '1' && stored.Proxy === '0',
      `Up from "Direct connection" should choose the browser settings: ${JSON.stringify(stored)}`);
  },
  // The choices come first in the tab order and the buttons last: backwards from the choice is
  // Cancel, and Enter on a focused button presses that button.
  async 'back tab wraps to Cancel'(s) {
    const dialog = s.start(['settings', s.file('backtab'), '--direct']);
    const window = await s.window('Internet Connection');
    await s.keys(window, 'shift+Tab', 'Return');
    check(await ended(dialog, 'shift+Tab') === 'result 2', 'Enter on Cancel ends with 2');
    check(s.stored('backtab') === null, 'nothing stored after Cancel');
  },
  async 'mnemonic chooses the browser settings'(s) {
    const dialog = s.start(['settings', s.file('mnemonic'), '--direct']);
    const window = await s.window('Internet Connection');
    await s.keys(window, 'alt+e', 'Return');
    check(await ended(dialog, 'Alt+E') === 'result 1', 'Enter after Alt+E ends with 1');
    const stored = s.stored('mnemonic');
    check(stored && stored.UseIEsettings === '1' && stored.Proxy === '0',
      `Alt+E should choose the browser settings: ${JSON.stringify(stored)}`);
  },
  async 'caption and placement over the owner'(s, env) {
    const owner = spawn('xlogo', ['-geometry', '500x300+400+300'], { env, stdio: 'ignore' });
    try {
      const ownerWindow = await s.window('xlogo');
      const dialog = s.start(['settings', s.file('owned'), '--title', 'Quar Proxy Settings',
        '--parent', ownerWindow]);
      const window = await s.window('Quar Proxy Settings');
      const o = await s.geometry(ownerWindow);
      const d = await s.geometry(window);
      const dx = (d.X + d.WIDTH / 2) - (o.X + o.WIDTH / 2);
      const dy = (d.Y + d.HEIGHT / 2) - (o.Y + o.HEIGHT / 2);
      check(Math.abs(dx) <= 2 && Math.abs(dy) <= 2,
        `dialog ${JSON.stringify(d)} should be centred over ${JSON.stringify(o)}`);
      await s.keys(window, 'Escape');
      check(await ended(dialog, 'owned') === 'result 2', 'Escape ends with 2');
    } finally {
      owner.kill('SIGTERM');
    }
  },
  // An owner that does not exist leaves the dialog centred on the screen.
  async 'owner that does not exist'(s) {
    const dialog = s.start(['settings', s.file('orphan'), '--parent', '0x7ffffff']);
    const window = await s.window('Internet Connection');
    const d = await s.geometry(window);
    check(Math.abs(d.X + d.WIDTH / 2 - 512) <= 2 && Math.abs(d.Y + d.HEIGHT / 2 - 384) <= 2,
      `dialog ${JSON.stringify(d)} should be centred on the 1024x768 screen`);
    await s.keys(window, 'Escape');
    check(await ended(dialog, 'orphan') === 'result 2', 'Escape ends with 2');
  },
  // Two threads, two dialogs open together, each editing its own record.
  async 'two dialogs from two threads'(s) {
    const dialogs = s.start(['two', s.file('first'), s.file('second')]);
    const first = await s.window('First');
    const second = await s.window('Second');
    await fillProxy(s, second, '3128');
    await s.keys(second, 'Return');
    await s.keys(first, 'Escape');
    const out = await ended(dialogs, 'two');
    check(out === 'First 2\nSecond 1', `results: ${JSON.stringify(out)}`);
    check(s.stored('first') === null, 'nothing stored by the cancelled dialog');
    checkStored(s.stored('second'), PROXY_WITH_USER, 'second dialog');
  },
  async 'credentials after OK'(s) {
    const dialog = s.start(['credentials', s.file('credentials'), '--user', 'bob',
      '--prompt', 'Proxy 127.0.0.1:3128 wants a user name and a password.']);
    const window = await s.window('Enter Network Password');
    await s.type(window, 'carol');
    await s.keys(window, 'Tab');
    await s.type(window, 'pa ss');
    await s.shot(window, 'credentials-dialog.png');
    await s.keys(window, 'Return');
    check(await ended(dialog, 'credentials OK') === 'result 1', 'OK ends with 1');
    checkStored(s.stored('credentials'), { user: 'carol', password: 'pa ss' }, 'credentials');
  },
  async 'credentials untouched after Escape'(s) {
    const dialog = s.start(['credentials', s.file('kept'), '--user', 'bob', '--password', 'old']);
    const window = await s.window('Enter Network Password');
    await s.type(window, 'carol');
    await s.keys(window, 'Escape');
    check(await ended(dialog, 'credentials Escape') === 'result 2', 'Escape ends with 2');
    checkStored(s.stored('kept'), { user: 'bob', password: 'old' }, 'buffers after Escape');
  },
};

// quarget --configure over the key "qg" of its own user registry file: the key's section with
// the proxy after OK; no file at all after Escape or without a display.
async function quargetConfigure(env, scratch) {
  const registry = path.join(scratch, 'quarget-user.reg');
  const section = '[HKEY_CURRENT_USER\\Software\\TARVELON, INC\\Quar 8\\qg]';
  const configure = (extra) => {
    const child = spawn(quarget, ['--configure', '--settings', 'qg'],
      { env: { ...env, QUAR_USER_REGISTRY: registry, ...extra }, stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    child.stdout.on('data', (chunk) => { out += chunk; });
    child.stderr.on('data', (chunk) => { out += chunk; });
    return new Promise((resolve) => child.on('exit', (code) => resolve({ code, out })));
  };
  const s = session(env, scratch);

  const noDisplay = await configure({ DISPLAY: '' });
  check(noDisplay.code !== 0 && noDisplay.out.includes('needs a display'),
    `without a display: ${JSON.stringify(noDisplay)}`);
  check(!existsSync(registry), 'without a display nothing is stored');

  let ended = configure({});
  await s.keys(await s.window('quarget: qg'), 'Down', 'Down', 'Escape');
  check((await ended).code !== 0 && !existsSync(registry), 'nothing stored after Escape');

  ended = configure({});
  await fillProxy(s, await s.window('quarget: qg'), '3128');
  await s.keys(await s.window('quarget: qg'), 'Return');
  const ok = await ended;
  check(ok.code === 0, `OK: ${JSON.stringify(ok)}`);
  const text = readFileSync(registry, 'latin1');
  const stored = text.slice(text.indexOf(section));
  for (const line of ['"UseIEsettings"=dword:00000000', '"Proxy"=dword:00000001',
    '"ProxyAddress"="127.0.0.1"', '"ProxyPort"=dword:00000c38', '"ProxyLog"="alice"']) {
    check(text.includes(section) && stored.includes(line), `after OK the key lacks ${line}:\n${text}`);
  }
}

// Without a usable display the dialogs answer Cancel at once and nothing is stored.
async function withoutDisplay(env, scratch) {
  const cases = [
    ['no display', { DISPLAY: '' }],
    ['a display nobody serves', { DISPLAY: ':6999' }],
  ];
  for (const [name, change] of cases) {
    const s = session({ ...env, ...change }, scratch);
    const dialog = s.start(['settings', s.file('nodisplay')]);
    check(await ended(dialog, name) === 'result 2', `${name}: the dialog answers Cancel`);
    check(s.stored('nodisplay') === null, `${name}: nothing stored`);
  }
}

// Without QUAR_WINDOW_HOST_MODULE the host is looked up beside the code that shows the dialog
// (here the driver, which holds the library's code).
async function hostBesideTheLibrary(env, scratch) {
  const bin = path.join(scratch, 'bin');
  mkdirSync(bin);
  copyFileSync(driver, path.join(bin, 'dialog_driver'));
  chmodSync(path.join(bin, 'dialog_driver'), 0o755);
  symlinkSync(hostModule, path.join(bin, path.basename(hostModule)));
  const plain = { ...env };
  delete plain.QUAR_WINDOW_HOST_MODULE;
  const s = session(plain, scratch);
  const child = spawn(path.join(bin, 'dialog_driver'), ['settings', s.file('beside')], { env: plain, stdio: 'ignore' });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  try {
    await s.keys(await s.window('Internet Connection'), 'Return');
    const code = await exited;
    check(code === 0 && s.stored('beside') !== null, 'the host beside the library shows the dialog');
  } finally {
    child.kill('SIGKILL');
  }
}

runTest(async () => {
  const xvfb = await startXvfb();
  const scratch = mkdtempSync(path.join(tmpdir(), 'inet-dialog-'));
  const env = { ...process.env, DISPLAY: xvfb.display, QUAR_WINDOW_HOST_MODULE: hostModule };
  delete env.WAYLAND_DISPLAY;
  try {
    await withoutDisplay(env, scratch);
    await hostBesideTheLibrary(env, scratch);
    await quargetConfigure(env, scratch);
    for (const [name, scenario] of Object.entries(scenarios)) {
      try {
        await scenario(session(env, scratch), env);
      } catch (error) {
        error.message = `${name}: ${error.message}`;
        throw error;
      }
    }
  } finally {
    rmSync(scratch, { recursive: true, force: true });
    xvfb.stop();
  }
}, 150);
