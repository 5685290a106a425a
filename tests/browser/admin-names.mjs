// Names outside Latin-1 through the pages, which are UTF-8: "Łukasz Müller" typed at set-up is
// stored as typed and shows in the options page, a new name given there likewise, and the log
// viewer shows it in entries and keeps it in its user filter. An entry that an older
// installation wrote in Latin-1 shows as it was typed.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

import { kAdministrator, submitSetUp } from './lib/flows.mjs';
import { expectPage, expectText, follow, open, openWatchedPage, sessionToken } from './lib/pages.mjs';
import { runWalk } from './lib/walk.mjs';

const kName = 'Łukasz Müller';
const kNewName = 'Zoë Łódź-Ōtsuka';

async function fieldValue(page, name) {
  return page.locator(`input[name="${name}"]:not([type="hidden"])`).first().inputValue();
}

// The settings file holds the name's UTF-8 bytes, not a character reference.
function expectStored(installation, name) {
  const settings = fs.readFileSync(path.join(installation.dataDirectory, 'quar_settings.dat'));
  assert.ok(settings.includes(Buffer.from(name, 'utf8')), `the settings do not hold ${name}`);
  assert.ok(!settings.includes(Buffer.from('&#')), 'the settings hold a character reference');
}

await runWalk('admin-names', async ({ installation, browser, artefacts, log, actionMillis }) => {
  const { page } = await openWatchedPage(browser, actionMillis);
  await open(page, installation.adminUrl);
  await expectPage(page, 'setup');
  await submitSetUp(page, { ...kAdministrator, sysopname: kName });
  await expectPage(page, 'main');
  const token = await sessionToken(page);
  expectStored(installation, kName);
  log('set up with a name outside Latin-1');

  await follow(page, () => page.locator(`a[href$="?options|${token}"]`).first().click());
  await expectPage(page, 'options');
  assert.equal(await fieldValue(page, 'sysopname'), kName, 'options shows the set-up name');
  await page.locator('input[name="sysopname"]').fill(kNewName);
  await follow(page, () => page.locator('[name="snd"][value="Submit"]').first().click());
  await expectText(page, 'Options updated.');
  assert.equal(await fieldValue(page, 'sysopname'), kNewName, 'options shows the new name');
  expectStored(installation, kNewName);
  await artefacts.shot(page, 'options-utf8');
  log('options keep the new name');

  // One entry in UTF-8, one as an older installation wrote it, in Latin-1.
  const now = Math.floor(Date.now() / 1000);
  const entry = (user, message) =>
    ['MESSAGE', now, '01/01/2009 00:00', '10.9.9.9', '', user, 'ws', 'QuarFax', message].join('\t');
  fs.appendFileSync(installation.eventLogFile, Buffer.from(entry(kName, 'neu') + '\n', 'utf8'));
  fs.appendFileSync(installation.eventLogFile,
                    Buffer.from(entry('Jürgen Weiß', 'alt') + '\n', 'latin1'));
  await follow(page, () => page.locator(`a[href$="?viewlog|${token}"]`).first().click());
  await expectPage(page, 'viewlog');
  await expectText(page, kName);
  await expectText(page, 'Jürgen Weiß');
  const form = page.locator('form', { has: page.locator('input[name="ve_log_sort_by"]') });
  await form.locator('input[name="ve_log_filter_by_user"]').fill(kName);
  await follow(page, () => form.locator('[type="submit"]').first().click());
  await expectPage(page, 'viewlog');
  // The filter is kept in capitals (ASCII letters; the other bytes of the name pass unchanged).
  assert.equal(await fieldValue(page, 've_log_filter_by_user'),
               kName.replace(/[a-z]/g, (c) => c.toUpperCase()), 'the user filter');
  await expectText(page, kName);
  assert.ok(!(await page.locator('body').innerText()).includes('Jürgen'),
            'the user filter did not pick the entry');
  await artefacts.shot(page, 'viewlog-utf8');
  log('log viewer shows and filters the names');
});
