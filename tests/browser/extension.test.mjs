// The extension, its native host and the page library in a real Chromium.
import assert from 'node:assert/strict';
import { readFile, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { test } from 'node:test';
import { axeViolations, connectingPage, hostProcesses, hostPath, launch, run, servePages, tempDir, until } from './support.mjs';

// What the browser says it runs on, for the page's advice on what to install.
const USER_AGENTS = {
  Linux: { userAgent: 'Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/130.0.0.0 Safari/537.36',
    platform: 'Linux x86_64' },
  Windows: { userAgent: 'Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) ' +
    'Chrome/130.0.0.0 Safari/537.36', platform: 'Win32' },
  macOS: { userAgent: 'Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) ' +
    'Chrome/130.0.0.0 Safari/537.36', platform: 'MacIntel' },
};

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
  const [firstHost] = await hostProcesses(store);
  assert.equal(await first.evaluate(() => window.vx.setPINHash('1234')), 'cRDtpNCeBiql5KOQsKVyrA0sAiA=');

  // A message box of the control is a modal alert, its CR LF reported as LF.
  const dialogs = [];
  first.on('dialog', (dialog) => (dialogs.push(dialog.message()), dialog.accept()));
  assert.equal(await first.evaluate(() => window.vx.obtainToken('x')), '');
  assert.deepEqual(dialogs, ['Ocorreu um erro ao obter a autorização para a votação!\n' +
    'Tente novamente dentro de alguns momentos.\n\n9\nSubscript out of range']);

  // A second tab has its own control: the first tab's PIN hash is not there.
  const second = await openConnected(context, `${site}/`);
  assert.equal(await second.evaluate(() => window.vx.getCurrentPINHash()), 'ERROR54');
  const hosts = await hostProcesses(store);
  assert.equal(hosts.length, 2);

  await first.close();
  const left = await until(() => hostProcesses(store), (pids) => !pids.includes(firstHost));
  assert.deepEqual(left, hosts.filter((pid) => pid !== firstHost));
  assert.equal(await second.evaluate(() => window.vx.getVersion()), '2.1.0.2239');
});

test('the voting page tells a missing extension, a site that is not a voting site and a missing host apart, naming the installer for the system', async (t) => {
  const store = await tempDir(t, 'store');
  const { context, profile } = await launch(t, {
    ARDENAX_STORE_DIR: store,
    ARDENAX_ALLOWED_ORIGINS: 'https://vote.elsewhere.example',
  });
  const listed = await servePages(t, { '/refused': connectingPage });
  const offList = await servePages(t, {}, '127.0.0.2');
  const bare = (await launch(t, {}, { extension: false })).context;
  // What the voting page says as it loads, before anyone can type, on a system the browser names,
  // and what axe-core finds there: [text, help under Detalhes, detail for support].
  const axe = [];
  const told = async (url, system = 'Linux', browser = context) => {
    const page = await browser.newPage();
    await (await browser.newCDPSession(page)).send('Emulation.setUserAgentOverride', USER_AGENTS[system]);
    await page.goto(url);
    await page.getByRole('alert').waitFor();
    assert.equal(await page.getByLabel('Utilizador').isDisabled(), true);
    axe.push(...(await axeViolations(page)));
    return Promise.all(['#banner-text', '#banner-help', '#banner pre'].map((text) => page.locator(text).textContent()));
  };

  // Without the extension the page cannot tell its absence from a site it does not run on: both are named.
  assert.deepEqual(await told(`${offList}/index.html`, 'Linux', bare), [
    'A extensão ArdenaX não respondeu nesta página: ou não está instalada neste navegador, ou este site não é um site ' +
      'de votação. Para a instalar, use a loja de extensões do navegador, se a sua eleição lá a publicou, ou o pacote ' +
      'ardenax para Debian que a sua eleição disponibiliza, e recarregue esta página. Se já a tem, confirme que abriu o ' +
      'endereço da página de votação que a sua eleição indicou.',
    'Sem a loja de extensões, carregue a extensão à mão: no Chromium, abra chrome://extensions, ative o ' +
      '«Modo de programador», escolha «Carregar expandida» e indique a pasta da extensão ' +
      '(/usr/share/ardenax/extension com o pacote para Debian, %LOCALAPPDATA%\\Programs\\ArdenaX\\extension ' +
      'com o instalador para Windows).',
    'not-installed: the ArdenaX extension is not installed in this browser, or does not run on this site']);

  // Off the extension's list the extension marks the page but offers no control: not a voting site.
  assert.deepEqual(await told(`${offList}/index.html`), ['A extensão ArdenaX está instalada, mas este site não é um ' +
    'site de votação para ela. Confirme que abriu o endereço da página de votação que a sua eleição indicou.', '',
  'refused: this origin is not a voting origin of the ArdenaX extension']);
  assert.deepEqual(await hostProcesses(store), []);

  // On the extension's list but not on the host's: the host refuses and ends.
  const refused = await context.newPage();
  await refused.goto(`${listed}/refused`);
  const message = `The origin ${listed} may not use ArdenaX`;
  assert.deepEqual(await refused.evaluate(() => window.connected), { code: 'refused', message });
  assert.deepEqual(await until(() => hostProcesses(store), (pids) => pids.length === 0), []);

  // With the host unregistered, the extension is there and the host is not: the installer named
  // is the one for the voter's system, or both where the browser names neither.
  await run(hostPath, ['--uninstall', '--user-data-dir', profile]);
  const noHost = (installer) => ['A extensão ArdenaX está instalada, mas falta o programa ArdenaX neste computador. ' +
    `Instale-o com ${installer} que a sua eleição disponibiliza e recarregue esta página.`, '',
  'not-installed: the ArdenaX program is not installed on this computer'];
  assert.deepEqual(await told(`${listed}/index.html`), noHost('o pacote ardenax para Debian'));
  assert.deepEqual(await told(`${listed}/index.html`, 'Windows'), noHost('o instalador ArdenaX para Windows'));
  assert.deepEqual(await told(`${listed}/index.html`, 'macOS'),
    noHost('o instalador ArdenaX para Windows ou o pacote ardenax para Debian'));
  assert.deepEqual(axe, []);
});

// A native host that accepts any origin and answers every call with `answer`.
const fakeHost = (answer) => `#!${process.execPath}
let input = Buffer.alloc(0);
function send(message) {
  const body = Buffer.from(JSON.stringify(message));
  const length = Buffer.alloc(4);
  length.writeUInt32LE(body.length);
  process.stdout.write(Buffer.concat([length, body]));
}
process.stdin.on('data', (chunk) => {
  for (input = Buffer.concat([input, chunk]); input.length >= 4 && input.length >= 4 + input.readUInt32LE(0); ) {
    const message = JSON.parse(input.subarray(4, 4 + input.readUInt32LE(0)));
    input = input.subarray(4 + input.readUInt32LE(0));
    send('origin' in message ? { origin: message.origin, accepted: true } : { id: message.id, ...${JSON.stringify(answer)} });
  }
});
`;

test("what a host sends beside a result reaches the page library, the result's kind included", async (t) => {
  const { context, profile } = await launch(t);
  const program = join(await tempDir(t, 'fake-host'), 'host.mjs');
  await writeFile(program, fakeHost({ result: 'ERROR votes are closed', kind: 'ok', receipt: 'R' }), { mode: 0o755 });
  const manifest = join(profile, 'NativeMessagingHosts/pt.ardenax.votingx.json');
  await writeFile(manifest, JSON.stringify({ ...JSON.parse(await readFile(manifest, 'utf8')), path: program }));

  const page = await openConnected(context, `${await servePages(t, { '/': connectingPage })}/`);
  assert.deepEqual(await page.evaluate(async () => {
    const result = await window.vx.getConfirmationText();
    return [result, window.vx.kindOf(result), await window.vx.getReceipt()];
  }), ['ERROR votes are closed', 'ok', 'R']);
});

test('the voting page and the board page ask for nothing that is not there, their icon included', async (t) => {
  const { context } = await launch(t);
  for (const path of ['/index.html', '/board/index.html']) {
    const answered = [];
    const page = await context.newPage();
    await page.goto(`${await servePages(t, {}, '127.0.0.2', answered)}${path}`);
    await until(() => answered, (paths) => paths.includes('200 /icon.svg'));
    assert.deepEqual(answered.filter((answer) => !answer.startsWith('200 ')), [], path);
  }
});
