// Reloading a page, and opening the address it shows in a second tab, stays in the
// administrator's own session (after set-up, after login, on the options page and in the log
// viewer) and writes nothing to the event log. Also: a refused set-up password shows as an
// error, a refused login is logged with its address, and long log lines wrap in the viewer.
import assert from 'node:assert/strict';
import fs from 'node:fs';

import { kAdministrator, submitLogin, submitSetUp } from './lib/flows.mjs';
import {
  checkImages, checkTokenLinks, expectPage, expectText, follow, open, openWatchedPage,
  readEventLog, sessionToken,
} from './lib/pages.mjs';
import { runWalk } from './lib/walk.mjs';

// The style of the page's message box: "error", "info" or "ok".
async function messageKind(page) {
  const box = page.locator('table.msg');
  assert.equal(await box.count(), 1, `${page.url()} shows no message box`);
  const classes = (await box.getAttribute('class')).split(/\s+/);
  return ['error', 'info', 'ok'].find((kind) => classes.includes(kind));
}

await runWalk('admin-reload', async ({ installation, browser, artefacts, log, actionMillis }) => {
  const admin = await openWatchedPage(browser, actionMillis);
  const { page, context } = admin;
  const eventCount = () => readEventLog(installation.eventLogFile).length;

  // The page shows `kind` in the session of `token`, under an address that names both; a
  // reload and the same address in a second tab show it again and log nothing.
  async function expectStaysInSession(kind, token, when) {
    await expectPage(page, kind);
    assert.ok(page.url().endsWith(`quarnbxadmin?${kind}|${token}`),
              `address ${when}: ${page.url()}`);
    const events = eventCount();
    await follow(page, () => page.reload());
    await expectPage(page, kind);
    await checkTokenLinks(page, token);
    assert.equal(eventCount(), events, `events logged by a reload ${when}`);
    const tab = await context.newPage();
    await open(tab, page.url());
    await expectPage(tab, kind);
    await checkTokenLinks(tab, token);
    await tab.close();
    assert.equal(eventCount(), events, `events logged by a second tab ${when}`);
    await checkImages(admin);
  }

  await open(page, installation.adminUrl);
  await submitSetUp(page, { ...kAdministrator, password: 'abc' });
  await expectPage(page, 'setup');
  await expectText(page, 'Please enter Administrator password (>= 4 chars).');
  assert.equal(await messageKind(page), 'error', 'style of the refused set-up password');
  log('short set-up password refused as an error');

  await submitSetUp(page, kAdministrator);
  const setUpToken = await sessionToken(page);
  await expectStaysInSession('main', setUpToken, 'after set-up');
  await artefacts.shot(page, 'main-reloaded-after-setup');
  log('reload after set-up');

  await follow(page, () => page.locator(`a[href$="?logout|${setUpToken}"]`).first().click());
  await expectPage(page, 'login');
  assert.equal(await messageKind(page), 'info', 'style of the password prompt');
  await submitLogin(page, 'wrong password');
  await expectText(page, 'ERROR: Invalid password. Please reenter.');
  assert.equal(await messageKind(page), 'error', 'style of a refused login');
  const refused = readEventLog(installation.eventLogFile).at(-1);
  assert.equal(refused.code, 'LOGIN_REFUSED', 'event of a refused login');
  assert.equal(refused.clientAddress, '127.0.0.1', 'address of a refused login');
  log('refused login logged');

  await submitLogin(page, kAdministrator.password);
  const token = await sessionToken(page);
  assert.notEqual(token, setUpToken);
  await expectStaysInSession('main', token, 'after login');
  log('reload after login');

  await follow(page, () => page.locator(`a[href$="?options|${token}"]`).first().click());
  await expectStaysInSession('options', token, 'on the options page');
  await page.locator('input[name="timeout"]').fill('25');
  await follow(page, () => page.locator('[name="snd"][value="Submit"]').first().click());
  await expectText(page, 'Options updated.');
  assert.equal(await messageKind(page), 'ok', 'style of accepted options');
  // The reload asks for the page again; it does not submit the form a second time.
  await expectStaysInSession('options', token, 'after submitting the options');
  await artefacts.shot(page, 'options-reloaded');
  log('reload on options');

  // A line far wider than the page wraps inside the viewer instead of running past its edge.
  const word = 'x'.repeat(600);
  fs.appendFileSync(installation.eventLogFile,
                    ['MESSAGE', Math.floor(Date.now() / 1000), '', '10.0.0.9', '', 'NBX_admin',
                     '', '', `long ${word} end`].join('\t') + '\r\n', 'latin1');
  await follow(page, () => page.locator(`a[href$="?viewlog|${token}"]`).first().click());
  await expectStaysInSession('viewlog', token, 'in the log viewer');
  const overflow = await page.$$eval('pre.log', (list) =>
    list.map((pre) => pre.scrollWidth - pre.clientWidth));
  assert.ok(overflow.length > 0, 'the viewer shows no entries');
  assert.deepEqual(overflow.filter((o) => o > 0), [], 'log lines run past the viewer');
  const frameWidth = await page.$eval('table.frame', (t) => t.getBoundingClientRect().width);
  assert.ok(frameWidth < 800, `the page is ${frameWidth} px wide`);
  await artefacts.shot(page, 'viewlog-long-line');
  log('long line wrapped');
});
