// The event log as the log viewer shows it: which lines of a page are log entries, and which
// event each one is. Entries are told apart by their catalogue text; generated entries carry
// their number in the client address 10.77.<n div 256>.<n mod 256>.
import fs from 'node:fs';

import { catalogueTextPattern } from './pages.mjs';

const kGeneratedAddress = /\b10\.77\.(\d+)\.(\d+)\b/;

export function generatedAddress(n) {
  return `10.77.${Math.floor(n / 256)}.${n % 256}`;
}

// Recognises the display text of each catalogue code, the most specific text first, and the
// raw log line that stands for a code without text.
export class EntryClassifier {
  constructor(catalogue) {
    this.patterns = [...catalogue.codes.entries()]
      .sort((a, b) => b[1].text.replace(/%./g, '').length - a[1].text.replace(/%./g, '').length)
      .map(([code, entry]) => {
        const inner = catalogueTextPattern(entry.text).source;
        return { code, pattern: new RegExp(`^${inner}$`), timeFirst: entry.text.startsWith('%s') };
      });
  }

  // The code of a shown line, or null when the line is not a log entry.
  codeOf(line) {
    for (const { code, pattern } of this.patterns) {
      if (pattern.test(line)) {
        return code;
      }
    }
    const raw = /^([A-Z][A-Z0-9_]*)\s+-?\d+\s/.exec(line);
    return raw ? raw[1] : null;
  }

  // "CODE" for an entry of the walk itself, "CODE#n" for generated entry n (when its text
  // shows the client address).
  signature(line) {
    const code = this.codeOf(line);
    if (code === null) {
      return null;
    }
    const address = kGeneratedAddress.exec(line);
    return address ? `${code}#${Number(address[1]) * 256 + Number(address[2])}` : code;
  }
}

// Signatures of the log entries the page shows, top to bottom.
export async function shownEntries(page, classifier) {
  const text = await page.locator('body').innerText();
  return text.split(/\r?\n/).map((l) => l.trim()).map((l) => classifier.signature(l))
    .filter((s) => s !== null);
}

// Appends `count` generated events to the event log file, in the log's line format, cycling
// through `codes`; user, product and computer vary so that filters can pick them apart.
// Returns their descriptions in file order.
export function appendGeneratedEvents(file, count, codes) {
  const now = Math.floor(Date.now() / 1000);
  const events = [];
  let text = '';
  for (let n = 1; n <= count; ++n) {
    const event = {
      n,
      code: codes[n % codes.length],
      time: now - (count - n),
      clientAddress: generatedAddress(n),
      user: n % 2 ? 'Ann.Lee' : 'bob',
      computer: `ws-${n % 7}`,
      product: n % 3 ? 'QuarFax' : 'QuarMail',
      message: `generated event ${n}`,
    };
    events.push(event);
    // The third column (the short time text) is for people; the viewer reads column two.
    text += [event.code, event.time, '01/01/2009 00:00', event.clientAddress, '', event.user,
             event.computer, event.product, event.message].join('\t') + '\n';
  }
  fs.appendFileSync(file, text, 'latin1');
  return events;
}
