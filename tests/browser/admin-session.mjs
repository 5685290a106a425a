// Walk through first-run set-up, logout, login, and a second browser on the same machine that
// is refused without the password and replaces the session with it, in headless chromium
// against a fresh installation served by lighttpd on loopback.
import assert from 'node:assert/strict';

import { kAdministrator, submitLogin, submitSetUp } from './lib/flows.mjs';
import {
  catalogueTextPattern, checkImages, checkTokenLinks, expectNoText, expectPage, expectText,
  follow, loadCatalogue, open, openWatchedPage, readEventLog, sessionToken, visibleText,
} from './lib/pages.mjs';
import { runWalk } from './lib/walk.mjs';

// Texts that only a failed configuration check puts on a page.
const kConfigurationProblems = ['Config file', 'DB Directory', 'Exception at step'];

async function expectNoConfigurationProblem(page) {
  for (const text of kConfigurationProblems) {
    await expectNoText(page, text);
  }
}

await runWalk('admin-session', async ({ installation, browser, artefacts, log, actionMillis }) => {
  const catalogue = loadCatalogue(process.env.QUAR_SITE_SOURCE);
  const refusal = catalogue.codes.get('LOGGET_OTHER');
  assert.ok(refusal, 'the catalogue has no text for LOGGET_OTHER');
  const refusalPattern = catalogueTextPattern(refusal.text, { i: '127.0.0.1' });

  const admin = await openWatchedPage(browser, actionMillis);
  const { page } = admin;

  // The server root leads to the set-up page while nothing is set up.
  await open(page, `${installation.baseUrl}/`);
  await expectPage(page, 'setup');
  await expectNoText(page, 'ERROR');
  await expectNoConfigurationProblem(page);
  await checkImages(admin);
  await artefacts.shot(page, 'setup');
  log('set-up page');

  // The company name is checked first; what was typed comes back as typed, as data.
  await submitSetUp(page, { ...kAdministrator, compname: '' });
  await expectPage(page, 'setup');
  await expectText(page, 'ERROR: Please enter company name.');
  for (const name of ['sysopname', 'sysoptel', 'sysopemail']) {
    assert.equal(await page.locator(`input[name="${name}"]`).inputValue(), kAdministrator[name],
                 `set-up form field ${name} after a refused submission`);
  }
  assert.equal(await page.evaluate(() => window.__injected), undefined, 'form text ran as script');
  await checkImages(admin);
  await artefacts.shot(page, 'setup-error');
  log('set-up refused without a company name');

  await submitSetUp(page, kAdministrator);
  await expectPage(page, 'main');
  await expectNoText(page, 'ERROR');
  const setUpToken = await sessionToken(page);
  await checkTokenLinks(page, setUpToken);
  await checkImages(admin);
  await artefacts.shot(page, 'main-after-setup');
  log('set-up done, main page');

  await follow(page, () => page.locator(`a[href$="?logout|${setUpToken}"]`).first().click());
  await expectPage(page, 'login');
  await expectText(page, 'Please enter Administrator password (>= 4 chars).');
  await expectNoText(page, 'ERROR');
  await checkImages(admin);
  await artefacts.shot(page, 'logged-out');
  log('logged out');

  // Passwords compare exactly: the right one in other case is wrong.
  await submitLogin(page, kAdministrator.password.toLowerCase());
  await expectPage(page, 'login');
  await expectText(page, 'ERROR: Invalid password. Please reenter.');
  await artefacts.shot(page, 'login-wrong-password');
  log('wrong password refused');

  await submitLogin(page, kAdministrator.password);
  await expectPage(page, 'main');
  await expectNoText(page, 'ERROR');
  await expectNoConfigurationProblem(page);
  const token = await sessionToken(page);
  assert.ok(token.length >= 16, `session token "${token}" is short enough to guess`);
  assert.notEqual(token, setUpToken, 'a new login reuses the previous session token');
  await checkTokenLinks(page, token);
  await checkImages(admin);
  await artefacts.shot(page, 'main-after-login');
  log('logged in, main page');

  // A second browser on the same machine (a closed tab, another window) while the session is
  // active: the start page does not hand out the session's token, a made-up token and a wrong
  // password get nothing, and the right password replaces the session.
  const other = await openWatchedPage(browser, actionMillis);
  await open(other.page, installation.adminUrl);
  assert.ok(!(await other.page.content()).includes(token), 'the start page shows the session token');
  await checkImages(other);
  await artefacts.shot(other.page, 'second-browser-start');

  const madeUp = token.replace(/./g, (c) => (c === '0' ? '1' : '0'));
  await open(other.page, `${installation.adminUrl}?main|${madeUp}`);
  await expectPage(other.page, 'other');
  assert.match(await visibleText(other.page), refusalPattern, 'main page with another token');
  await artefacts.shot(other.page, 'second-browser-main-refused');

  await open(other.page, installation.adminUrl);
  await submitLogin(other.page, `${kAdministrator.password}x`);
  await expectPage(other.page, 'login');
  await expectText(other.page, 'ERROR: Invalid password. Please reenter.');
  await open(page, `${installation.adminUrl}?main|${token}`);
  await expectPage(page, 'main');
  log('second browser: made-up token and wrong password refused, the session kept');

  await submitLogin(other.page, kAdministrator.password);
  await expectPage(other.page, 'main');
  const replaced = await sessionToken(other.page);
  assert.notEqual(replaced, token, 'the replacing login kept the old token');
  await checkTokenLinks(other.page, replaced);
  await checkImages(other);
  await artefacts.shot(other.page, 'second-browser-replaced-session');
  // The first window's token is no longer the session's.
  await open(page, `${installation.adminUrl}?main|${token}`);
  await expectPage(page, 'other');
  assert.match(await visibleText(page), refusalPattern, 'the replaced session still works');
  await artefacts.shot(page, 'first-browser-replaced');
  log('second browser replaced the session');

  await follow(other.page,
               () => other.page.locator(`a[href$="?logout|${replaced}"]`).first().click());
  await expectPage(other.page, 'login');
  await expectText(other.page, 'Please enter Administrator password (>= 4 chars).');
  await artefacts.shot(other.page, 'logged-out-again');
  await other.context.close();
  log('logged out again');

  // A page after logout asks for the password again instead of showing the old session.
  await open(page, `${installation.adminUrl}?main|${replaced}`);
  await expectPage(page, 'login');

  const events = readEventLog(installation.eventLogFile);
  assert.deepEqual(events.map((e) => e.code),
                   ['INIT', 'LOGOUT', 'LOGIN_REFUSED', 'LOGIN', 'LOGGET_OTHER', 'LOGIN_REFUSED',
                    'LOGIN_REPLACED', 'LOGIN', 'LOGGET_OTHER', 'LOGOUT'],
                   'event log after the walk');
  assert.deepEqual([...new Set(events.map((e) => e.clientAddress))], ['127.0.0.1'],
                   'client address of the events');
});
