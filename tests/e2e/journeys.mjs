// The browser journeys: headless Chromium walks the frame set as an
// administrator or a user would, one journey after another on one browser
// and one daemon, in the order given. Around every journey the runner
// watches what no journey should cause: a script error in any page or
// pop-up, an error on the console, a dialog the journey did not expect, a
// device text run as script (the hostile texts call pwned()) or loaded as
// markup (their images point at /x, /y, /z).
//
//   node journeys.mjs <base-url> <user-data-dir> <screenshot-dir> <machine> [key=value...] <level>:<journey>...
//
// <machine> names the facts of the simulated machine (journeys/facts.mjs);
// key=value pairs are values the shell hands over (image=..., port=...);
// each <level>:<journey> runs journeys/<journey>.mjs as the administrator
// ('a') or a user ('u').
import { Checks, frameSet, withChromium } from './chromium.mjs';
import { machines } from './journeys/facts.mjs';

const [base, profile, shots, machine, ...rest] = process.argv.slice(2);
const values = Object.fromEntries(rest.filter((a) => a.includes('=')).map((a) => a.split(/=(.*)/s).slice(0, 2)));
const steps = rest.filter((a) => !a.includes('=')).map((a) => {
  const [level, name] = a.split(':');
  return { level, name };
});
const checks = new Checks();
const facts = machines[machine];
if (facts === undefined || steps.length === 0) {
  checks.fail(`no facts for the machine ${machine}, or no journey`);
  checks.finish();
}

let current = '(start)';
const pageErrors = [];
const consoleErrors = [];
const injected = [];
const stray = [];
const dialogs = [];
let refusals = 0;

await withChromium(profile, checks, async (page, context) => {
  // Timers run on a clock the journeys can move on; it flows by itself.
  await context.clock.install();
  await context.exposeBinding('pwned', ({ frame }, n) => injected.push(`${current}: pwned(${n}) in ${frame.url()}`));
  const watch = (p) => {
    p.on('pageerror', (error) => pageErrors.push(`${current}: ${p.url()}: ${error.message}`));
    // The browser asks for /favicon.ico on its own; the daemon has none.
    p.on('console', (m) => {
      if (m.type() === 'error' && !m.location().url.endsWith('/favicon.ico')) {
        consoleErrors.push(`${current}: ${m.text()} (${m.location().url})`);
      }
    });
    p.on('dialog', (dialog) => {
      dialogs.push(dialog.message());
      if (dialog.type() === 'confirm' && refusals > 0) {
        refusals--;
        dialog.dismiss();
      } else {
        dialog.accept();
      }
    });
    p.on('request', (request) => {
      if (['/x', '/y', '/z'].includes(new URL(request.url()).pathname)) stray.push(`${current}: ${request.url()}`);
    });
  };
  watch(page);
  context.on('page', watch);

  const { menu, content } = frameSet(page);
  const ctx = {
    checks, facts, values, page, context, menu, content,
    base,
    level: 'a',
    passwords: { a: 'pyv2', u: 'pyv2' },
    equal: (what, expected, actual) => checks.equal(`${current}: ${what}`, expected, actual),
    fail: (what) => checks.fail(`${current}: ${what}`),
    who: () => (ctx.level === 'a' ? 'Administrator' : 'User'),
    contentFrame: () => page.frame({ name: 'content' }),
    banner: menu.locator('#lastmessage'),
    // The dialogs since the last call, taken: a dialog no journey takes is
    // a failure.
    dialogs: () => dialogs.splice(0),
    // The message of the next dialog, waiting for it: a click returns
    // before a slow page's handler has opened it.
    nextDialog: async (timeout = 10000) => {
      const end = Date.now() + timeout;
      while (dialogs.length === 0 && Date.now() < end) await new Promise((r) => setTimeout(r, 20));
      return dialogs.shift();
    },
    // The next confirm() is answered Cancel.
    refuseNext: () => { refusals = 1; },
    passTime: (ms) => page.clock.runFor(ms),
    shot: (name) => page.screenshot({ path: `${shots}/${machine}-${name}.png` }),
    // Until the content frame shows this path with exactly this query
    // (any query when it is undefined), loaded whole.
    shown: (path, query) => page.waitForFunction(([p, q]) => {
      const c = window.frames['content'];
      return c && c.location.pathname === p && (q === null || c.location.search === q) &&
        c.document.readyState === 'complete';
    }, [path, query ?? null]),
    // Until the content frame's address holds every part, loaded whole.
    at: (...parts) => page.waitForFunction((parts) => {
      const c = window.frames['content'];
      return c && parts.every((p) => c.location.href.includes(p)) && c.document.readyState === 'complete';
    }, parts),
    // Opens a drop-down by its item and clicks one of its entries.
    choose: async (item, entry) => {
      await menu.locator(`#${item}`).hover();
      await menu.locator(`#${entry}`).click();
    },
    title: async () => (await menu.locator('#menutitle').innerText()).trim(),
    selectorShown: () => menu.locator('#selB').evaluate((e) => e.style.visibility),
    // Waits for the banner to say the text, then checks that it does.
    outcome: async (what, expected) => {
      await ctx.banner.filter({ hasText: expected }).waitFor().catch(() => {});
      ctx.equal(what, expected, (await ctx.banner.textContent()).trim());
    },
    // Chooses a controller in the menu's selector: the page in view
    // loaded again for it.
    pick: async (c) => {
      await ctx.mark();
      await menu.locator('#selctlr').selectOption(String(c));
      await page.waitForFunction((c) => {
        const w = window.frames['content'];
        return w && !w.document.journeyMark && w.document.readyState === 'complete' &&
          w.location.search.startsWith(`?c=${c}&u=-2`);
      }, c);
    },
    // Opens a page from a drop-down (or a top item when entry is
    // undefined) and waits for it at path.
    go: async (item, entry, path) => {
      await ctx.mark();
      if (entry === undefined) await menu.locator(`#${item}`).click();
      else await ctx.choose(item, entry);
      await ctx.reloaded(path);
    },
    // Marks the content frame's document, so that the next one can be told apart.
    mark: () => ctx.contentFrame().evaluate(() => { document.journeyMark = 1; }),
    // Until the content frame shows a new (unmarked) document at the path
    // (and a query starting with the prefix, when given), loaded whole.
    reloaded: (path, prefix = '') => page.waitForFunction(([p, q]) => {
      const c = window.frames['content'];
      return c && c.location.pathname === p && c.location.search.startsWith(q) &&
        c.document.readyState === 'complete' && !c.document.journeyMark;
    }, [path, prefix]),
  };

  for (const step of steps) {
    current = `${machine} ${step.level}:${step.name}`;
    ctx.level = step.level;
    const { default: journey } = await import(`./journeys/${step.name}.mjs`);
    const started = Date.now();
    try {
      await journey(page, ctx);
    } catch (error) {
      // Where the frame set stood when the journey failed.
      const where = await page.evaluate(() => {
        const text = (f, id) => f?.document.getElementById(id)?.innerText;
        return { top: location.href, content: window.frames['content']?.location.href,
                 who: text(window.frames['menu'], 'whos_loggedin'), banner: text(window.frames['menu'], 'lastmessage') };
      }).catch((e) => e.message);
      checks.fail(`${current}: ${error.message.split('\n').slice(0, 12).join('\n')}\n  at ${JSON.stringify(where)}`);
      await ctx.shot(`failed-${step.name}`).catch(() => {});
      break;
    }
    const left = dialogs.splice(0);
    if (left.length > 0) checks.fail(`${current}: unexpected dialogs ${JSON.stringify(left)}`);
    console.log(`${current}: ${((Date.now() - started) / 1000).toFixed(1)} s`);
  }
});
checks.equal('page errors', [], pageErrors);
checks.equal('console errors', [], consoleErrors);
checks.equal('device texts run as script', [], injected);
checks.equal('device texts loaded as markup', [], stray);
checks.finish();
