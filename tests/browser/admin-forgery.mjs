// Forms posted from another web site, in headless chromium: a page served on another port of
// 127.0.0.1 makes the browser post the first-run set-up and, with a known session token, the
// options form. Both are refused with a page that says why and are logged; the set-up after a
// cleared password shows no stored contact data; the administrator's own forms still work.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

import { kAdministrator, submitLogin, submitSetUp } from './lib/flows.mjs';
import {
  expectPage, expectText, follow, open, openWatchedPage, readEventLog, sessionToken, visibleText,
} from './lib/pages.mjs';
import { runWalk } from './lib/walk.mjs';

const kForged = { ...kAdministrator, compname: 'Forged Ltd', password: 'forged1' };

// The HTML of a page that posts `fields` to `action` as soon as it loads.
function autoPost(action, fields) {
  const inputs = Object.entries(fields).map(([name, value]) =>
    `<input type="hidden" name="${name}" value="${value}">`).join('');
  return `<html><body><form method="post" action="${action}">${inputs}</form>` +
         '<script>document.forms[0].submit();</script></body></html>';
}

// A web server on a free loopback port that answers every request with `pages[path]`.
async function startForeignSite(pages) {
  const server = http.createServer((request, response) => {
    response.setHeader('Content-Type', 'text/html');
    response.end(pages[request.url] ?? 'none');
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { server, base: `http://127.0.0.1:${server.address().port}` };
}

// Opens the foreign page and waits until its form has brought the browser to the answer.
async function visitForeignPage(page, url) {
  const answered = page.waitForURL((address) => address.href.includes('/quarnbxadmin'),
                                   { waitUntil: 'load' });
  await page.goto(url);
  await answered;
}

function storedSettings(installation) {
  return path.join(installation.dataDirectory, 'quar_settings.dat');
}

await runWalk('admin-forgery', async ({ installation, browser, artefacts, log, actionMillis }) => {
  const admin = await openWatchedPage(browser, actionMillis);
  const { page } = admin;
  const setUpForm = {
    compname: kForged.compname, sysopname: kForged.sysopname, sysoptel: kForged.sysoptel,
    sysopemail: kForged.sysopemail, pswd1: kForged.password, pswd2: kForged.password,
  };
  const pages = { '/setup': autoPost(`${installation.adminUrl}?init_base`, setUpForm) };
  const foreign = await startForeignSite(pages);
  try {
    // The set-up of a fresh installation, posted by another site.
    await visitForeignPage(page, `${foreign.base}/setup`);
    await expectPage(page, 'other');
    await expectText(page, 'A form sent from another web site');
    await artefacts.shot(page, 'forged-setup-refused');
    assert.ok(!fs.existsSync(storedSettings(installation)), 'the forged set-up was stored');
    log('forged set-up refused');

    // The administrator's own set-up works.
    await open(page, `${installation.baseUrl}/`);
    await expectPage(page, 'setup');
    await submitSetUp(page, kAdministrator);
    await expectPage(page, 'main');
    const token = await sessionToken(page);
    log('own set-up done');

    // The options form, posted by another site that even knows the session's token.
    pages['/options'] = autoPost(`${installation.adminUrl}?options|${token}`, {
      snd: 'Submit', sysopname: 'Mallory', sysoptel: '1', pswdold: kAdministrator.password,
      pswd1: kForged.password, pswd2: kForged.password, timeout: '0',
    });
    const settingsBefore = fs.readFileSync(storedSettings(installation));
    await visitForeignPage(page, `${foreign.base}/options`);
    await expectPage(page, 'other');
    await expectText(page, 'A form sent from another web site');
    await artefacts.shot(page, 'forged-options-refused');
    assert.deepEqual(fs.readFileSync(storedSettings(installation)), settingsBefore,
                     'the forged options changed the settings');
    log('forged options refused');

    // The administrator's own options form still works, in the same session.
    await open(page, `${installation.adminUrl}?options|${token}`);
    await expectPage(page, 'options');
    await page.locator('input[name="sysoptel"]').fill('+1 555 0199');
    await follow(page, () => page.locator('[name="snd"][value="Submit"], button[type="submit"]')
      .first().click());
    await expectPage(page, 'options');
    await expectText(page, 'Options updated.');
    log('own options saved');

    // After a cleared password anyone may see the set-up form: it shows no contact data.
    await follow(page, () => page.locator(`a[href$="?logout|${token}"]`).first().click());
    execFileSync(process.env.QUARSETUP, ['--clear-password', '--data-dir',
                                         installation.dataDirectory], { stdio: 'ignore' });
    const stranger = await openWatchedPage(browser, actionMillis);
    await open(stranger.page, `${installation.baseUrl}/`);
    await expectPage(stranger.page, 'setup');
    const shown = await stranger.page.content();
    for (const value of [kAdministrator.sysoptel, '+1 555 0199', kAdministrator.sysopemail,
                         'Harbour Freight']) {
      assert.ok(!shown.includes(value), `the cleared set-up form shows ${value}`);
    }
    await artefacts.shot(stranger.page, 'cleared-setup-form');
    // A forged set-up in that state is refused as well.
    await visitForeignPage(stranger.page, `${foreign.base}/setup`);
    await expectText(stranger.page, 'A form sent from another web site');
    await stranger.context.close();
    log('cleared set-up shows no contact data and refuses a forged form');

    // The administrator sets a new password with empty fields: the stored data stay.
    await open(page, `${installation.baseUrl}/`);
    await submitSetUp(page, { password: 'renewed1' });
    await expectPage(page, 'main');
    const renewed = await sessionToken(page);
    await open(page, `${installation.adminUrl}?options|${renewed}`);
    assert.equal(await page.locator('input[name="sysoptel"]').inputValue(), '+1 555 0199');
    await follow(page, () => page.locator(`a[href$="?logout|${renewed}"]`).first().click());
    await submitLogin(page, 'renewed1');
    await expectPage(page, 'main');
    log('new password set, contact data kept');

    const codes = readEventLog(installation.eventLogFile).map((e) => e.code);
    assert.deepEqual(codes.filter((c) => c === 'FORM_FOREIGN').length, 3,
                     `forged forms logged: ${codes.join(' ')}`);
    assert.match(await visibleText(page), /Server administration/);
  } finally {
    await new Promise((resolve) => foreign.server.close(resolve));
  }
});
