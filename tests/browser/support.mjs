// What the browser tests share: the built programs, a Chromium with the extension and the host,
// a static server for test pages, the reference servers with their own Chromium, a look at the
// host processes that Chromium starts, and an accessibility check of a page.
import { execFile, spawn } from 'node:child_process';
import { mkdtemp, readdir, readFile, readlink, rm } from 'node:fs/promises';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { createInterface } from 'node:readline';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';

const root = resolve(import.meta.dirname, '../..');
const buildDir = resolve(root, process.env.ARDENAX_BUILD_DIR ?? 'build/default');
export const hostPath = join(buildDir, 'apps/ardenax-host/ardenax-host');
export const ardenaxPath = join(buildDir, 'apps/ardenax/ardenax');
const extensionDir = join(buildDir, 'web/extension');
const pageDir = join(buildDir, 'web/page');
export const run = promisify(execFile);

export async function tempDir(t, name) {
  const dir = await mkdtemp(join(tmpdir(), `ardenax-${name}-`));
  t.after(() => rm(dir, { recursive: true, force: true }));
  return dir;
}

// Starts Chromium (Debian's) with the extension (unless `extension` is false), and registers
// the host in its profile with the host's own --install. `env` reaches the host.
export async function launch(t, env = {}, { extension = true } = {}) {
  // Removed only once Chromium has exited: it writes its profile to the end.
  const profile = await mkdtemp(join(tmpdir(), 'ardenax-profile-'));
  await run(hostPath, ['--install', '--user-data-dir', profile]);
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    env: { ...process.env, ...env },
    args: [...(extension ? [`--disable-extensions-except=${extensionDir}`, `--load-extension=${extensionDir}`] : []),
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  t.after(() => context.close().then(() => rm(profile, { recursive: true, force: true })));
  return { context, profile };
}

// Serves `pages` (path -> HTML), else the built voting page's files, over http on `host`;
// notes each answer in `answered` as "status path".
export async function servePages(t, pages, host = '127.0.0.1', answered = []) {
  const server = createServer(async (request, response) => {
    const path = new URL(request.url, 'http://x').pathname;
    try {
      const body = pages[path] ?? (await readFile(join(pageDir, path)));
      const type = { js: 'text/javascript', css: 'text/css', svg: 'image/svg+xml' }[path.split('.').pop()] ?? 'text/html';
      response.writeHead(200, { 'content-type': type }).end(body);
      answered.push(`200 ${path}`);
    } catch {
      response.writeHead(404).end();
      answered.push(`404 ${path}`);
    }
  });
  await new Promise((done) => server.listen(0, host, done));
  t.after(() => new Promise((done) => server.close(done)));
  return `http://${host}:${server.address().port}`;
}

// The ids of the host processes running with `storeDir` as their store.
export async function hostProcesses(storeDir) {
  const found = [];
  for (const pid of (await readdir('/proc')).filter((name) => /^\d+$/.test(name))) {
    try {
      const environ = await readFile(`/proc/${pid}/environ`, 'latin1');
      if ((await readlink(`/proc/${pid}/exe`)) === hostPath && environ.includes(`ARDENAX_STORE_DIR=${storeDir}\0`)) {
        found.push(pid);
      }
    } catch {
      // The process ended while we looked.
    }
  }
  return found.sort();
}

// Waits until `probe` gives a value that `done` accepts; fails after `ms`.
export async function until(probe, done, ms = 10000) {
  for (const deadline = Date.now() + ms; ; await new Promise((next) => setTimeout(next, 20))) {
    const value = await probe();
    if (done(value)) return value;
    if (Date.now() > deadline) throw new Error(`condition not met; last value ${JSON.stringify(value)}`);
  }
}

// A test page that connects and keeps the control as window.vx.
export const connectingPage = `<!doctype html><title>t</title><script type="module">
  import { ArdenaX } from '/ardenax.js';
  window.connected = ArdenaX.connect().then(
    (vx) => { window.vx = vx; return 'connected'; },
    (error) => ({ code: error.code, message: error.message }));
</script>`;

// Reads `lines` until one that `done` accepts, and gives it.
export async function readUntil(lines, done) {
  for (let next; !(next = await lines.next()).done; ) if (done(next.value)) return next.value;
  throw new Error('ardenax serve ended early');
}

// Starts `ardenax serve --browser` headless, reads what it prints up to
// "Ready." and drives the page it opened over the DevTools protocol.
export async function serve(t, ...extra) {
  const db = join(await tempDir(t, 'serve'), 'election.db');
  const server = spawn(ardenaxPath, ['serve', '--port', '0', '--db', db, ...extra, '--browser', 'chromium',
    '--', '--headless', '--no-sandbox', '--disable-gpu', '--remote-debugging-port=0']);
  const exited = new Promise((done) => server.once('close', done));
  t.after(() => (server.kill('SIGTERM'), exited));
  // Chromium writes to serve's standard error: read it all, keep the address.
  let errors = '';
  const devtools = new Promise((found) => server.stderr.setEncoding('utf8').on('data', (chunk) => {
    const address = /DevTools listening on (ws:\S+)/.exec((errors += chunk));
    if (address) found(address[1]);
  }));
  const info = { db, voters: [], exited, out: createInterface({ input: server.stdout })[Symbol.asyncIterator]() };
  for (let line; (line = await readUntil(info.out, () => true)) !== 'Ready.'; ) {
    const [, key, value] = /^([^:]+): (.*)$/.exec(line) ?? [];
    if (key === 'Demo voter') info.voters.push(/^utilizador=(.*)###senha=(.*) \(/.exec(value).slice(1));
    else if (key) info[key] = value;
  }
  const browser = await chromium.connectOverCDP(await devtools);
  const [page] = browser.contexts()[0].pages();
  await page.waitForURL(info.Page);
  info.context = browser.contexts()[0];
  info.dialogs = [];
  page.on('dialog', (dialog) => (info.dialogs.push(dialog.message()), dialog.accept()));
  info.fetchJson = (path) => page.evaluate((url) => fetch(url).then((response) => response.json()), path);
  info.closeBrowser = async () => (await browser.newBrowserCDPSession()).send('Browser.close');
  return { info, page };
}

export async function logIn(page, [user, password]) {
  await page.getByRole('button', { name: 'Entrar' }).and(page.locator(':enabled')).waitFor();
  await page.getByLabel('Utilizador').fill(user);
  await page.getByLabel('Senha').fill(password);
  await page.getByRole('button', { name: 'Entrar' }).click();
}

// Both command-line verifiers of the board on `receipt`: [exit code, output] of each.
export async function verifyReceipt(t, info, receipt) {
  const board = info.Board.replace(/\/head$/, '');
  const env = { ...process.env, XDG_DATA_HOME: await tempDir(t, 'verifiers') };
  const outcome = (run) => run.then(({ stdout }) => [0, stdout], (failure) => [failure.code, failure.stdout + failure.stderr]);
  return Promise.all([
    outcome(run(ardenaxPath, ['verify-receipt', receipt, '--board', board, '--ca-file', info['CA file']], { env })),
    outcome(run('python3', [join(root, 'tools/verify_board.py'), '--board', board, '--receipt', receipt,
      '--ca-file', info['CA file']], { env })),
  ]);
}

// What axe-core finds against WCAG 2.2 AA in the page as it is now: "rule: elements", one a line.
const axeSource = readFile(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
export async function axeViolations(page) {
  if (!(await page.evaluate(() => 'axe' in window))) await page.addScriptTag({ content: await axeSource });
  return page.evaluate(async () => {
    const tags = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa'];
    const { violations } = await window.axe.run(document, { runOnly: { type: 'tag', values: tags } });
    return violations.map((v) => `${v.id}: ${v.nodes.map((node) => node.target.join(' ')).join(', ')}`);
  });
}

// Where the focus is, whether its ring shows, and the ring's contrast (WCAG 2.x) against the
// first opaque background behind the element, for which the ring is drawn outside it.
export function focusRing(page) {
  return page.evaluate(() => {
    const channels = (css) => css.match(/[\d.]+/g).map(Number);
    const linear = (c) => ((c /= 255) <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4);
    const luminance = ([r, g, b]) => 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
    const focused = document.activeElement;
    let behind = focused.parentElement;
    while (behind && channels(getComputedStyle(behind).backgroundColor)[3] === 0) behind = behind.parentElement;
    const background = behind ? channels(getComputedStyle(behind).backgroundColor) : [255, 255, 255];
    const style = getComputedStyle(focused);
    const [light, dark] = [luminance(channels(style.outlineColor)), luminance(background)].sort((a, b) => b - a);
    return { id: focused.id, ring: `${style.outlineStyle} ${style.outlineWidth}`, contrast: (light + 0.05) / (dark + 0.05) };
  });
}
