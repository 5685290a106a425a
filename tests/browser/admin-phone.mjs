// Walk through set-up, main page, options and the event log at a desktop width (1280 pixels)
// and a phone width (375 pixels) in headless chromium: at both, nothing is wider than the
// window; on the phone the form's columns stack and every button is a 40-pixel touch target; on
// the desktop the page keeps its 762-pixel frame with labels beside their fields.
import assert from 'node:assert/strict';

import { kAdministrator, submitSetUp } from './lib/flows.mjs';
import { checkImages, expectPage, follow, open, openWatchedPage } from './lib/pages.mjs';
import { runWalk } from './lib/walk.mjs';

const kWidths = [1280, 375];
const kPhoneWidth = 600;
const kDesktopFrame = 762;
const kTouchTarget = 40;

// The elements that reach past the right edge of the window (those inside a box that scrolls
// its own content do not count), and the width of the whole document.
function overflow(page) {
  return page.evaluate(() => {
    const width = window.innerWidth;
    const scrolledInside = (element) => {
      for (let parent = element.parentElement; parent; parent = parent.parentElement) {
        const style = getComputedStyle(parent);
        if (/(auto|scroll|hidden)/.test(style.overflowX)) {
          return true;
        }
      }
      return false;
    };
    const wide = [];
    for (const element of document.body.querySelectorAll('*')) {
      const box = element.getBoundingClientRect();
      if (box.width > 1 && box.right > width + 0.5 && !scrolledInside(element)) {
        wide.push(`${element.tagName.toLowerCase()}.${element.className} ends at ${box.right}`);
      }
    }
    return { documentWidth: document.documentElement.scrollWidth, width, wide };
  });
}

// Per visible form row: where its label and its field are.
function formRows(page) {
  return page.$$eval('table.form tr', (rows) => rows.flatMap((row) => {
    const label = row.querySelector('td.label');
    const field = row.querySelector('input.text');
    if (!label || !field || !field.offsetParent) {
      return [];
    }
    const l = label.getBoundingClientRect();
    const f = field.getBoundingClientRect();
    return [{ name: field.name, labelBottom: l.bottom, labelRight: l.right, fieldTop: f.top,
              fieldLeft: f.left }];
  }));
}

async function checkLayout(page, width, name) {
  const { documentWidth, wide } = await overflow(page);
  assert.ok(documentWidth <= width, `${name} at ${width} px: the document is ${documentWidth} px wide`);
  assert.deepEqual(wide, [], `${name} at ${width} px: elements wider than the window`);
  const rows = await formRows(page);
  if (width <= kPhoneWidth) {
    assert.equal(await page.locator('meta[name="viewport"]').count(), 1, `${name}: no viewport`);
    for (const row of rows) {
      assert.ok(row.labelBottom <= row.fieldTop + 0.5, `${name}: ${row.name} is not under its label`);
    }
    const heights = await page.$$eval('button, input[type="submit"]:not(.defbtn)', (buttons) =>
      buttons.filter((b) => b.offsetParent).map((b) => [b.value || b.textContent,
                                                       b.getBoundingClientRect().height]));
    for (const [button, height] of heights) {
      assert.ok(height >= kTouchTarget, `${name}: button ${button} is ${height} px high`);
    }
  } else {
    const frame = await page.$eval('table.frame', (t) => t.getBoundingClientRect().width);
    assert.equal(Math.round(frame), kDesktopFrame, `${name}: the desktop frame is ${frame} px`);
    for (const row of rows) {
      assert.ok(row.labelRight <= row.fieldLeft + 0.5, `${name}: ${row.name} is not beside its label`);
    }
  }
}

await runWalk('admin-phone', async ({ installation, browser, artefacts, log, actionMillis }) => {
  const admin = await openWatchedPage(browser, actionMillis);
  const { page } = admin;

  const atEveryWidth = async (name) => {
    for (const width of kWidths) {
      await page.setViewportSize({ width, height: 800 });
      await checkLayout(page, width, name);
      await artefacts.shot(page, `${name}-${width}`);
    }
    await checkImages(admin);
    log(`${name} fits ${kWidths.join(' and ')} px`);
  };

  await open(page, `${installation.baseUrl}/`);
  await expectPage(page, 'setup');
  await atEveryWidth('setup');

  await submitSetUp(page, kAdministrator);
  await expectPage(page, 'main');
  await atEveryWidth('main');

  await follow(page, () => page.locator('a.task[href*="?options|"]').click());
  await expectPage(page, 'options');
  await atEveryWidth('options');

  await follow(page, () => page.locator('a[href*="?viewlog|"]').first().click());
  await expectPage(page, 'viewlog');
  await atEveryWidth('viewlog');
});
