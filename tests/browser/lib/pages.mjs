// What every administration page must get right, checked from the browser's side: the HTTP
// answer, the images (none may be the image server's 1x1 stand-in for a missing file), the
// session token in every link and form, and which page was shown. Elements are found by their
// form field names and button values, never by layout.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

// A browser context with one page whose image answers are all recorded for checkImages().
export async function openWatchedPage(browser, actionMillis) {
  const context = await browser.newContext({ viewport: { width: 1000, height: 800 } });
  const page = await context.newPage();
  page.setDefaultTimeout(actionMillis);
  const imageChecks = [];
  const scriptErrors = [];
  page.on('pageerror', (error) => scriptErrors.push(error.message));
  context.on('response', (response) => {
    if (response.url().includes('/quarnbxpic?')) {
      imageChecks.push(imageProblem(response));
    }
  });
  return { context, page, imageChecks, scriptErrors };
}

// Null when the answer is a real GIF image, else the reason it is not.
async function imageProblem(response) {
  const where = response.url();
  if (response.status() !== 200) {
    return `${where}: HTTP ${response.status()}`;
  }
  const type = response.headers()['content-type'] || '';
  if (!type.startsWith('image/gif')) {
    return `${where}: Content-Type ${type}`;
  }
  let body;
  try {
    body = await response.body();
  } catch {
    return null;  // the page moved on before the bytes were kept; the DOM check covers <img>
  }
  const signature = body.subarray(0, 6).toString('latin1');
  if (body.length < 10 || (signature !== 'GIF87a' && signature !== 'GIF89a')) {
    return `${where}: not a GIF file`;
  }
  const width = body.readUInt16LE(6);
  const height = body.readUInt16LE(8);
  if (width <= 1 && height <= 1) {
    return `${where}: ${width}x${height}, the stand-in for a missing image`;
  }
  return null;
}

// Runs `action` (a click or a key press that submits or follows a link) and waits until the
// new page has loaded. Returns the page's HTTP answer after checking its headers.
export async function follow(page, action) {
  const answer = page.waitForResponse((r) => r.request().isNavigationRequest() &&
      r.frame() === page.mainFrame() && (r.status() < 300 || r.status() >= 400));
  const loaded = page.waitForEvent('load');
  // Both waits may time out while the action still runs; the action's error comes first.
  const arrived = Promise.all([answer, loaded]);
  arrived.catch(() => {});
  await action();
  const [response] = await arrived;
  expectPageAnswer(response);
  return response;
}

export async function open(page, url) {
  const response = await page.goto(url);
  expectPageAnswer(response);
  return response;
}

function expectPageAnswer(response) {
  assert.equal(response.status(), 200, `${response.url()} answered ${response.status()}`);
  const headers = response.headers();
  assert.match(headers['content-type'] || '', /^text\/html/, `${response.url()}: Content-Type`);
  assert.match(headers.pragma || '', /no-cache/, `${response.url()}: Pragma`);
}

// Every <img> of the page loaded and is not the stand-in pixel; every image answer of the
// context so far (CSS backgrounds included) was a real GIF; no script error occurred.
export async function checkImages(watched) {
  const { page } = watched;
  const images = await page.$$eval('img', (list) => list.map((img) => ({
    src: img.getAttribute('src'), complete: img.complete, width: img.naturalWidth,
    height: img.naturalHeight,
  })));
  assert.ok(images.length > 0, `${page.url()} shows no image`);
  const broken = images.filter((i) => !i.complete || i.width === 0 || (i.width <= 1 && i.height <= 1));
  assert.deepEqual(broken, [], `${page.url()}: images missing or replaced by the stand-in`);
  const problems = (await Promise.all(watched.imageChecks)).filter((p) => p !== null);
  assert.deepEqual([...new Set(problems)], [], 'image server answers');
  assert.deepEqual(watched.scriptErrors, [], `${page.url()}: script errors`);
}

// Every link and form of the page that leads to the administration program names a request
// and carries `token` after the bar. Returns how many there are.
export async function checkTokenLinks(page, token) {
  const targets = await page.$$eval('a[href], form[action]', (elements) => elements.map((e) =>
    e.tagName === 'A' ? e.getAttribute('href') : e.getAttribute('action')));
  const admin = targets.filter((t) => /(^|\/)quarnbxadmin(\?|$)/.test(t));
  assert.ok(admin.length > 0, `${page.url()} has no link to the administration pages`);
  const wrong = admin.filter((t) => {
    const match = /quarnbxadmin\?[A-Za-z0-9_]+(?:\||%7C)(.*)$/.exec(t);
    return !match || match[1] !== token;
  });
  assert.deepEqual(wrong, [], `${page.url()}: links without the session token ${token}`);
  return admin.length;
}

// The session token of a page shown inside a session, read from its links.
export async function sessionToken(page) {
  const hrefs = await page.$$eval('a[href]', (list) => list.map((a) => a.getAttribute('href')));
  for (const href of hrefs) {
    const match = /quarnbxadmin\?[A-Za-z0-9_]+\|(.+)$/.exec(href);
    if (match) {
      return match[1];
    }
  }
  throw new Error(`${page.url()} has no link with a session token`);
}

// Which administration page is shown, told by its form fields and links.
export async function pageKind(page) {
  const count = (selector) => page.locator(selector).count();
  if (await count('input[name="compname"]')) {
    return 'setup';
  }
  if (await count('input[name="timeout"]')) {
    return 'options';
  }
  if (await count('[name="vl_butt"]')) {
    return 'viewlog';
  }
  if (await count('input[name="passwd"]')) {
    return 'login';
  }
  if (await count('a[href*="?options|"]') && await count('a[href*="?viewlog|"]') &&
      await count('a[href*="?logout|"]')) {
    return 'main';
  }
  return 'other';
}

export async function expectPage(page, kind) {
  assert.equal(await pageKind(page), kind, `${page.url()} shows the wrong page`);
}

// The visible text with runs of white space made single blanks.
export async function visibleText(page) {
  return (await page.locator('body').innerText()).replace(/\s+/g, ' ');
}

export async function expectText(page, text) {
  const shown = await visibleText(page);
  assert.ok(shown.includes(text), `${page.url()} does not show "${text}"; it shows: ${shown}`);
}

export async function expectNoText(page, text) {
  const shown = await visibleText(page);
  assert.ok(!shown.includes(text), `${page.url()} shows "${text}": ${shown}`);
}

// The message catalogue of the site: its categories in order and, per code, its text and
// category index (null for codes before the first category).
export function loadCatalogue(siteDirectory) {
  const categories = [];
  const codes = new Map();
  const text = fs.readFileSync(path.join(siteDirectory, 'quar_nbx_mess.def'), 'latin1');
  for (const raw of text.split(/\r?\n/)) {
    const line = raw.trim();
    if (line === '' || line.startsWith('#')) {
      continue;
    }
    if (line.startsWith('=CATEGORY')) {
      categories.push(line.slice('=CATEGORY'.length).trim());
      continue;
    }
    const match = /^(\S+)\s+(.*)$/.exec(line);
    if (match) {
      codes.set(match[1], { text: match[2], category: categories.length ? categories.length - 1 : null });
    }
  }
  return { categories, codes };
}

// A pattern for the display text of a catalogue entry: markers of the given fields take the
// given values, time markers any time text, other markers any text; blanks match any run.
export function catalogueTextPattern(template, fields = {}) {
  const escape = (s) => s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  let pattern = '';
  for (let i = 0; i < template.length; ++i) {
    const c = template[i];
    if (c === '%' && i + 1 < template.length) {
      const marker = template[++i];
      if (marker in fields) {
        pattern += escape(fields[marker]);
      } else if (marker === 's') {
        pattern += '\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d';
      } else if ('dixuhpmca'.includes(marker)) {
        pattern += '.*?';
      } else {
        pattern += escape(marker);
      }
    } else if (/\s/.test(c)) {
      pattern += '\\s+';
      while (i + 1 < template.length && /\s/.test(template[i + 1])) {
        ++i;
      }
    } else {
      pattern += escape(c);
    }
  }
  return new RegExp(pattern);
}

// The event log as records; an absent file is an empty log.
export function readEventLog(file) {
  if (!fs.existsSync(file)) {
    return [];
  }
  return fs.readFileSync(file, 'latin1').split('\n').filter((l) => l.trim() !== '').map((line) => {
    const columns = line.replace(/\r$/, '').split('\t');
    return {
      code: columns[0], time: Number(columns[1]), clientAddress: columns[3],
      proxyAddress: columns[4], user: columns[5], computer: columns[6], product: columns[7],
      message: columns.slice(8).join('\t'),
    };
  });
}
