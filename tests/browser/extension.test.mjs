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

  assert.equal(await first.evaluate(() => window.vx.setPINHash('1234')), 'cRDtpNCeBiql5KOQsKVyrA0sAiA=');

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

test('a message box of the control is a modal alert', async (t) => {
  const { context } = await launch(t, { ARDENAX_STORE_DIR: await tempDir(t, 'store') });
  const site = await servePages(t, { '/': connectingPage });
  const page = await openConnected(context, `${site}/`);
  const dialogs = [];
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    return dialog.accept();
  });
  // Credentials without "=" make the control fail and show its box.
  assert.equal(await page.evaluate(() => window.vx.obtainToken('x')), '');
  // The control's CR LF line ends reach the alert; Chromium reports them as LF.
  assert.deepEqual(dialogs, [
    'Ocorreu um erro ao obter a autorização para a votação!\n' +
      'Tente novamente dentro de alguns momentos.\n\n9\nSubscript out of range',
  ]);
});
