// The extension, its native host and the page library in a real Chromium.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  connectingPage,
  hostProcesses,
  hostPath,
  launch,
  run,
  servePages,
  tempDir,
  until,
} from './support.mjs';

const version = '2.1.0.2239';

async function openConnected(context, url) {
  const page = await context.newPage();
  await page.goto(url);
  assert.equal(await page.evaluate(() => window.connected), 'connected');
  return page;
}

test('a voting page reaches its own host, one per tab, ended with the tab', async (t) => {
  const store = await tempDir(t, 'store');
  const { context } = await launch(t, { ARDENAX_STORE_DIR: store });
  const site = await servePages(t, { '/': connectingPage });

  const first = await openConnected(context, `${site}/`);
  assert.equal(await first.evaluate(() => window.vx.getVersion()), version);
  const [firstHost] = await hostProcesses(store);
  assert.equal((await hostProcesses(store)).length, 1);

  // Calls made together run one after the other and keep their order.
  assert.deepEqual(
    await first.evaluate(() =>
      Promise.all([window.vx.setPINHash('1234'), window.vx.getCurrentPINHash(), window.vx.getVersion()]),
    ),
    ['cRDtpNCeBiql5KOQsKVyrA0sAiA=', 'cRDtpNCeBiql5KOQsKVyrA0sAiA=', version],
  );

  // A second tab has its own control: the first tab's PIN hash is not there.
  const second = await openConnected(context, `${site}/`);
  assert.equal(await second.evaluate(() => window.vx.getCurrentPINHash()), 'ERROR54');
  const hosts = await hostProcesses(store);
  assert.equal(hosts.length, 2);

  await first.close();
  assert.deepEqual(
    await until(() => hostProcesses(store), (pids) => !pids.includes(firstHost)),
    hosts.filter((pid) => pid !== firstHost),
  );
  assert.equal(await second.evaluate(() => window.vx.getVersion()), version);
});

test('pages the host may not serve get a clear refusal and no control', async (t) => {
  const store = await tempDir(t, 'store');
  const { context, profile } = await launch(t, {
    ARDENAX_STORE_DIR: store,
    ARDENAX_ALLOWED_ORIGINS: 'https://vote.elsewhere.example',
  });
  const listed = await servePages(t, { '/': connectingPage });
  const offList = await servePages(t, { '/': connectingPage }, '127.0.0.2');

  // Off the extension's list: no content script, so nothing starts.
  const stranger = await context.newPage();
  await stranger.goto(`${offList}/`);
  assert.deepEqual(await stranger.evaluate(() => window.connected), {
    code: 'not-installed',
    message: 'the ArdenaX component is not installed',
  });
  assert.deepEqual(await hostProcesses(store), []);

  // On the extension's list but not on the host's: the host refuses and ends.
  const refused = await context.newPage();
  await refused.goto(`${listed}/`);
  assert.deepEqual(await refused.evaluate(() => window.connected), {
    code: 'refused',
    message: `The origin ${listed} may not use ArdenaX`,
  });
  assert.deepEqual(await until(() => hostProcesses(store), (pids) => pids.length === 0), []);

  // With the host unregistered, the page learns that it is not installed.
  await run(hostPath, ['--uninstall', '--user-data-dir', profile]);
  const missing = await context.newPage();
  await missing.goto(`${listed}/`);
  assert.deepEqual(await missing.evaluate(() => window.connected), {
    code: 'not-installed',
    message: 'the ArdenaX component is not installed',
  });
});

test('message boxes are modal alerts, and replies forged by another frame are ignored', async (t) => {
  const store = await tempDir(t, 'store');
  const { context } = await launch(t, { ARDENAX_STORE_DIR: store });
  const forger = await servePages(t, { '/': '<!doctype html><title>other</title>' }, '127.0.0.2');
  // Fixed ids let the other frame forge a reply to the very call under way.
  const site = await servePages(t, {
    '/': `<!doctype html><title>t</title>
      <iframe src="${forger}/"></iframe>
      <script>
        crypto.randomUUID = () => 'fixed';
        window.seen = [];
        addEventListener('message', (event) => {
          if (event.data?.ardenax === 'reply' && 'result' in event.data) window.seen.push(event.data.result);
        });
      </script>
      ${connectingPage.replace('<!doctype html><title>t</title>', '')}`,
  });
  const page = await context.newPage();
  await page.goto(`${site}/`);
  assert.equal(await page.evaluate(() => window.connected), 'connected');

  const dialogs = [];
  page.on('dialog', async (dialog) => {
    dialogs.push(dialog.message());
    await page.frames()[1].evaluate(() =>
      window.parent.postMessage({ ardenax: 'reply', id: 'fixed:2', result: 'FORGED' }, '*'),
    );
    await dialog.accept();
  });
  // Credentials without "=" make the control fail and show its box.
  const result = await page.evaluate(() => window.vx.obtainToken('x'));
  assert.equal(result, '');
  // The control's CR LF line ends reach the alert; Chromium reports them as LF.
  assert.deepEqual(dialogs, [
    'Ocorreu um erro ao obter a autorização para a votação!\n' +
      'Tente novamente dentro de alguns momentos.\n\n9\nSubscript out of range',
  ]);
  assert.deepEqual(await page.evaluate(() => window.seen), ['FORGED', '']);
});
