// Walk through the options page and the event log viewer in headless chromium against a fresh
// installation served by lighttpd on loopback: time-out and logging switch, then paging,
// filtering, grouping and clearing a log of a few hundred entries.
import assert from 'node:assert/strict';
import fs from 'node:fs';

import { appendGeneratedEvents, EntryClassifier, shownEntries } from './lib/eventlines.mjs';
import { kAdministrator, submitLogin, submitSetUp } from './lib/flows.mjs';
import {
  checkImages, checkTokenLinks, expectNoText, expectPage, expectText, follow, loadCatalogue,
  open, openWatchedPage, readEventLog, sessionToken,
} from './lib/pages.mjs';
import { runWalk, SkipWalk } from './lib/walk.mjs';

const kGeneratedCount = 300;
// Codes of three catalogue categories, and one the catalogue does not know (shown as its raw
// line, never hidden, grouped last).
const kGeneratedCodes = ['MESSAGE', 'LOGIN', 'ERR_WRITESF', 'QUAR_TEST_UNLISTED'];
const kDefaultPageSize = 40;

const kPagingButtons = ['First', '<<', '>>', 'Last'];

// The form of the viewer with the paging buttons and the page number.
function pagingForm(page) {
  return page.locator('form', { has: page.locator('input[name="ve_log_page_num"]') });
}

// The buttons of the paging bar that can be pressed.
async function enabledPagingButtons(page) {
  const enabled = [];
  for (const value of kPagingButtons) {
    const button = pagingForm(page).locator(`[name="vl_butt"][value="${value}"]:not([disabled])`);
    if (await button.count()) {
      enabled.push(value);
    }
  }
  return enabled;
}

async function pressPaging(page, value) {
  await follow(page,
               () => pagingForm(page).locator(`[name="vl_butt"][value="${value}"]`).first().click());
  await expectPage(page, 'viewlog');
}

// The form of the viewer with the order, the filters and the categories.
function viewForm(page) {
  return page.locator('form', { has: page.locator('input[name="ve_log_sort_by"]') });
}

async function applyView(page, { order, userFilter = '', hidden = [] }) {
  const form = viewForm(page);
  await form.locator(`input[name="ve_log_sort_by"][value="${order}"]`).check();
  for (const name of ['ve_log_filter_by_prod', 've_log_filter_by_comp']) {
    await form.locator(`input[name="${name}"]`).fill('');
  }
  await form.locator('input[name="ve_log_filter_by_user"]').fill(userFilter);
  const boxes = form.locator('input[name^="ve_log_show_cat"]');
  for (let i = 0; i < await boxes.count(); ++i) {
    const box = boxes.nth(i);
    const index = Number((await box.getAttribute('name')).slice('ve_log_show_cat'.length));
    await box.setChecked(!hidden.includes(index));
  }
  await follow(page, () => form.locator('[type="submit"]').first().click());
  await expectPage(page, 'viewlog');
}

async function fieldValue(page, name) {
  return page.locator(`input[name="${name}"]:not([type="hidden"])`).first().inputValue();
}

await runWalk('admin-options-log', async ({ installation, browser, artefacts, log, actionMillis }) => {
  // The pages of this walk must be in the program's request table.
  for (const request of ['options', 'viewlog']) {
    const answer = await (await fetch(`${installation.adminUrl}?${request}`)).text();
    if (answer.includes(`Unknown request ${request}`)) {
      throw new SkipWalk(`the administration program has no "${request}" request yet`);
    }
  }
  const catalogue = loadCatalogue(process.env.QUAR_SITE_SOURCE);
  const classifier = new EntryClassifier(catalogue);
  const admin = await openWatchedPage(browser, actionMillis);
  const { page } = admin;

  // Set-up, then a logout and a login, so that the log holds INIT, LOGOUT and LOGIN.
  await open(page, installation.adminUrl);
  await submitSetUp(page, kAdministrator);
  await expectPage(page, 'main');
  await follow(page, () => page.locator('a[href*="?logout|"]').first().click());
  await submitLogin(page, kAdministrator.password);
  await expectPage(page, 'main');
  const token = await sessionToken(page);
  log('set up and logged in');

  // Options: the stored values, the time-out in minutes.
  await follow(page, () => page.locator(`a[href$="?options|${token}"]`).first().click());
  await expectPage(page, 'options');
  await checkTokenLinks(page, token);
  await checkImages(admin);
  for (const name of ['sysopname', 'sysoptel', 'sysopemail']) {
    assert.equal(await fieldValue(page, name), kAdministrator[name], `options field ${name}`);
  }
  for (const name of ['pswdold', 'pswd1', 'pswd2']) {
    assert.equal(await fieldValue(page, name), '', `options field ${name} must start empty`);
  }
  assert.equal(await fieldValue(page, 'timeout'), '10', 'time-out after set-up, in minutes');
  assert.ok(await page.locator('input[name="optn_log"]').isChecked(), 'logging after set-up');
  await artefacts.shot(page, 'options');
  log('options page');

  const submitOptions = () =>
    follow(page, () => page.locator('[name="snd"][value="Submit"]').first().click());

  // A refused submission shows what was typed and stores nothing.
  await page.locator('input[name="timeout"]').fill('25');
  await page.locator('input[name="pswd1"]').fill('n3wpass');
  await page.locator('input[name="pswd2"]').fill('n3wpass');
  await submitOptions();
  await expectPage(page, 'options');
  await expectText(page, 'ERROR: To change password you need to enter your current password.');
  assert.equal(await fieldValue(page, 'timeout'), '25', 'refused form shows the typed time-out');
  await artefacts.shot(page, 'options-refused');

  // Time-out 25 minutes and logging off: accepted, and the switch-off itself is not logged.
  await page.locator('input[name="pswd1"]').fill('');
  await page.locator('input[name="pswd2"]').fill('');
  await page.locator('input[name="timeout"]').fill('25');
  await page.locator('input[name="optn_log"]').setChecked(false);
  await submitOptions();
  await expectPage(page, 'options');
  await expectText(page, 'Options updated.');
  await expectNoText(page, '<FONT');
  await expectNoText(page, 'ERROR');
  assert.equal(await fieldValue(page, 'timeout'), '25', 'stored time-out');
  assert.ok(!(await page.locator('input[name="optn_log"]').isChecked()), 'logging switched off');
  await checkImages(admin);
  await artefacts.shot(page, 'options-updated-logging-off');

  await page.locator('input[name="optn_log"]').setChecked(true);
  await submitOptions();
  await expectText(page, 'Options updated.');
  assert.ok(await page.locator('input[name="optn_log"]').isChecked(), 'logging switched on');

  // Cancel shows the stored values, not what was typed.
  await page.locator('input[name="timeout"]').fill('99');
  await follow(page, () => page.locator('[name="snd"][value="Cancel"]').first().click());
  assert.equal(await fieldValue(page, 'timeout'), '25', 'time-out after Cancel');
  assert.ok(await page.locator('input[name="optn_log"]').isChecked(), 'logging after Cancel');
  await expectNoText(page, 'Options updated.');
  assert.deepEqual(readEventLog(installation.eventLogFile).map((e) => e.code),
                   ['INIT', 'LOGOUT', 'LOGIN', 'MESSAGE'], 'events after the options changes');
  log('options changed');

  // The viewer: the walk's own events, newest first, on one page.
  await follow(page, () => page.locator(`a[href$="?viewlog|${token}"]`).first().click());
  await expectPage(page, 'viewlog');
  await checkTokenLinks(page, token);
  await checkImages(admin);
  assert.deepEqual(await shownEntries(page, classifier), ['MESSAGE', 'LOGIN', 'LOGOUT', 'INIT'],
                   'the walk\'s events, newest first');
  await expectText(page, 'Options updated.');
  assert.deepEqual(await enabledPagingButtons(page), [], 'paging buttons of a one-page log');
  for (const name of catalogue.categories.slice(0, 8)) {
    await expectText(page, name);
  }
  assert.equal(await viewForm(page).locator('input[name^="ve_log_show_cat"]').count(),
               Math.min(8, catalogue.categories.length), 'category check boxes');
  await artefacts.shot(page, 'viewlog');
  log('log viewer with the walk\'s events');

  // A few hundred more entries, and what each page must show of them.
  const generated = appendGeneratedEvents(installation.eventLogFile, kGeneratedCount,
                                          kGeneratedCodes);
  const shownWithAddress = (code) => !catalogue.codes.has(code) ||
      /%[ia]/.test(catalogue.codes.get(code).text);
  const own = [
    { code: 'INIT', user: 'NBX_admin' }, { code: 'LOGOUT', user: 'NBX_admin' },
    { code: 'LOGIN', user: 'NBX_admin' }, { code: 'MESSAGE', user: 'NBX_admin' },
  ];
  const all = [...own.map((e) => ({ ...e, signature: e.code })),
               ...generated.map((e) => ({
                 ...e, signature: shownWithAddress(e.code) ? `${e.code}#${e.n}` : e.code,
               }))];
  const byDate = [...all].reverse();
  const total = all.length;
  const signatures = (list, from, size) => list.slice(from, from + size).map((e) => e.signature);

  await open(page, `${installation.adminUrl}?viewlog|${token}`);
  assert.deepEqual(await shownEntries(page, classifier), signatures(byDate, 0, kDefaultPageSize),
                   'first page of the generated log');
  assert.equal(await fieldValue(page, 've_log_page_num'), '1');
  assert.equal(await fieldValue(page, 've_log_page'), String(kDefaultPageSize));
  assert.deepEqual(await enabledPagingButtons(page), ['>>', 'Last'], 'paging on the first page');
  await artefacts.shot(page, 'viewlog-page-1');

  await pressPaging(page, '>>');
  assert.deepEqual(await shownEntries(page, classifier), signatures(byDate, 40, 40), 'page 2');
  assert.equal(await fieldValue(page, 've_log_page_num'), '2');

  await page.locator('input[name="ve_log_page_num"]').fill('5');
  await follow(page, () => page.locator('input[name="ve_log_page_num"]').press('Enter'));
  assert.deepEqual(await shownEntries(page, classifier), signatures(byDate, 160, 40),
                   'page 5 typed in');
  assert.equal(await fieldValue(page, 've_log_page_num'), '5');

  await pressPaging(page, 'Last');
  const lastTop = total - kDefaultPageSize;
  assert.deepEqual(await shownEntries(page, classifier), signatures(byDate, lastTop, 40),
                   'last page');
  const lastPage = Math.floor((lastTop + 2 * kDefaultPageSize - 1) / kDefaultPageSize);
  assert.equal(await fieldValue(page, 've_log_page_num'), String(lastPage));
  assert.deepEqual(await enabledPagingButtons(page), ['First', '<<'], 'paging on the last page');
  await artefacts.shot(page, 'viewlog-last-page');

  // The page number sent along wins over the top line: the last page counts as page
  // ceil(304 / 40) = 8, whose top line is 280, so "<<" goes to 240, not to 264 - 40.
  await pressPaging(page, '<<');
  assert.deepEqual(await shownEntries(page, classifier),
                   signatures(byDate, kDefaultPageSize * (lastPage - 2), 40),
                   'back one page from the last');

  // A new page size keeps the top line, within the log.
  await page.locator('input[name="ve_log_page"]').first().fill('100');
  await follow(page, () => page.locator('input[name="ve_log_page"]').first().press('Enter'));
  assert.equal(await fieldValue(page, 've_log_page'), '100');
  assert.deepEqual(await shownEntries(page, classifier), signatures(byDate, total - 100, 100),
                   'page size 100 near the end');
  log('paged through the generated log');

  // A filter typed in lower case is kept in upper case and matches any case.
  await applyView(page, { order: 've_log_sort_by_date', userFilter: 'ann.l' });
  assert.equal(await fieldValue(page, 've_log_filter_by_user'), 'ANN.L');
  const annsEntries = byDate.filter((e) => e.user === 'Ann.Lee');
  assert.deepEqual(await shownEntries(page, classifier), signatures(annsEntries, 0, 100),
                   'entries of user Ann.Lee');
  await artefacts.shot(page, 'viewlog-filtered');
  log('filtered');

  // Grouped by category: the highest category first, entries without one last.
  const categoryOf = (e) => catalogue.codes.get(e.code)?.category ?? null;
  const rank = (e) => (categoryOf(e) === null || categoryOf(e) > 7 ? -1 : categoryOf(e));
  const grouped = [...byDate].sort((a, b) => rank(b) - rank(a));
  await applyView(page, { order: 've_log_sort_by_cat' });
  assert.equal(await fieldValue(page, 've_log_filter_by_user'), '');
  assert.deepEqual(await shownEntries(page, classifier), signatures(grouped, 0, 100),
                   'first page grouped by category');
  // Each group on the page is headed by its category's name, the entries without one last.
  const headings = (list) => [...new Set(list.map((e) => {
    const category = rank(e) < 0 ? null : catalogue.categories[categoryOf(e)];
    return category ?? 'Other events';
  }))];
  assert.deepEqual(await page.locator('h3.loggroup').allInnerTexts(),
                   headings(grouped.slice(0, 100)), 'group headings of the first page');
  await artefacts.shot(page, 'viewlog-grouped');
  await pressPaging(page, 'Last');
  assert.deepEqual(await shownEntries(page, classifier), signatures(grouped, total - 100, 100),
                   'last page grouped by category');

  // A hidden category, and the stored choices on a later visit without the form.
  const hiddenCategory = catalogue.codes.get('MESSAGE').category;
  await applyView(page, { order: 've_log_sort_by_cat', hidden: [hiddenCategory] });
  await open(page, `${installation.adminUrl}?viewlog|${token}`);
  const visible = grouped.filter((e) => categoryOf(e) !== hiddenCategory);
  assert.deepEqual(await shownEntries(page, classifier), signatures(visible, 0, 100),
                   `grouped, category ${hiddenCategory} hidden, on a later visit`);
  const form = viewForm(page);
  assert.ok(await form.locator('input[value="ve_log_sort_by_cat"]').isChecked(), 'stored order');
  assert.ok(!(await form.locator(`input[name="ve_log_show_cat${hiddenCategory}"]`).isChecked()),
            'stored hidden category');
  await artefacts.shot(page, 'viewlog-grouped-hidden');
  log('grouped and hidden');
  await applyView(page, { order: 've_log_sort_by_date' });
  assert.deepEqual(await shownEntries(page, classifier), signatures(byDate, 0, 100),
                   'by date with every category shown');

  // Clearing deletes the log after the browser's confirmation; the next event starts it anew.
  page.once('dialog', (dialog) => dialog.accept());
  await follow(page,
               () => page.locator('[name="vl_butt"][value="Clear Log File"]').first().click());
  await expectPage(page, 'viewlog');
  assert.deepEqual(await shownEntries(page, classifier), [], 'entries after clearing');
  assert.deepEqual(await enabledPagingButtons(page), [], 'paging buttons of an empty log');
  assert.ok(!fs.existsSync(installation.eventLogFile), 'the log file is deleted');
  await checkImages(admin);
  await artefacts.shot(page, 'viewlog-cleared');

  await open(page, `${installation.adminUrl}?options|${token}`);
  await submitOptions();
  await expectText(page, 'Options updated.');
  await open(page, `${installation.adminUrl}?viewlog|${token}`);
  assert.deepEqual(await shownEntries(page, classifier), ['MESSAGE'], 'the log after clearing');
  await artefacts.shot(page, 'viewlog-after-clear');
  log('cleared');

  await follow(page, () => page.locator(`a[href$="?logout|${token}"]`).first().click());
  await expectPage(page, 'login');
  assert.deepEqual(readEventLog(installation.eventLogFile).map((e) => e.code),
                   ['MESSAGE', 'LOGOUT'], 'events after clearing');
});
