// What the browser tests share: the built programs, a Chromium with the extension and the host,
// a static server for test pages, and a look at the host processes that Chromium starts.
import { execFile } from 'node:child_process';
import { mkdtemp, readdir, readFile, readlink, rm } from 'node:fs/promises';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
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

// Starts Chromium (Debian's) with the extension, and registers the host in
// its profile with the host's own --install. `env` reaches the host.
export async function launch(t, env = {}) {
  // Removed only once Chromium has exited: it writes its profile to the end.
  const profile = await mkdtemp(join(tmpdir(), 'ardenax-profile-'));
  await run(hostPath, ['--install', '--user-data-dir', profile]);
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    env: { ...process.env, ...env },
    args: [`--disable-extensions-except=${extensionDir}`, `--load-extension=${extensionDir}`,
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  t.after(() => context.close().then(() => rm(profile, { recursive: true, force: true })));
  return { context, profile };
}

// Serves `pages` (path -> HTML), else the built voting page's files, over http on `host`.
export async function servePages(t, pages, host = '127.0.0.1') {
  const server = createServer(async (request, response) => {
    const path = new URL(request.url, 'http://x').pathname;
    try {
      const body = pages[path] ?? (await readFile(join(pageDir, path)));
      const type = { js: 'text/javascript', css: 'text/css' }[path.split('.').pop()] ?? 'text/html';
      response.writeHead(200, { 'content-type': type }).end(body);
    } catch {
      response.writeHead(404).end();
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
