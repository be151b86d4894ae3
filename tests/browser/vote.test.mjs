// Whole votes from the voting page, in the Chromium that `ardenax serve
// --browser` starts against its reference servers.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { test } from 'node:test';
import { chromium } from 'playwright-core';
import { readFile } from 'node:fs/promises';
import { ardenaxPath, run, tempDir } from './support.mjs';

// Reads `lines` until one that `done` accepts, and gives it.
async function readUntil(lines, done) {
  for (let next; !(next = await lines.next()).done; ) if (done(next.value)) return next.value;
  throw new Error('ardenax serve ended early');
}

// Starts `ardenax serve --browser` headless, reads what it prints up to
// "Ready." and drives the page it opened over the DevTools protocol.
async function serve(t, ...extra) {
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
  info.dialogs = [];
  page.on('dialog', (dialog) => (info.dialogs.push(dialog.message()), dialog.accept()));
  info.fetchJson = (path) => page.evaluate((url) => fetch(url).then((response) => response.json()), path);
  info.closeBrowser = async () => (await browser.newBrowserCDPSession()).send('Browser.close');
  return { info, page };
}

// The ballot box as the tally counts it, with the demo election's key.
async function tally(t, info) {
  const json = join(await tempDir(t, 'tally'), 'tally.json');
  await run(ardenaxPath, ['tally', '--db', info.db, '--election-key', info.db.replace(/\.db$/, '-key.pem'),
    '--out', json]);
  return JSON.parse(await readFile(json, 'utf8'));
}

async function logIn(page, [user, password]) {
  await page.getByRole('button', { name: 'Entrar' }).and(page.locator(':enabled')).waitFor();
  await page.getByLabel('Utilizador').fill(user);
  await page.getByLabel('Senha').fill(password);
  await page.getByRole('button', { name: 'Entrar' }).click();
}

// Keeps every text the live region is given, however briefly.
const recordProgress = (page) => page.evaluate(() => {
  window.said = [];
  new MutationObserver((records) => window.said.push(...records.flatMap((r) => [...r.addedNodes].map((n) => n.data))))
    .observe(document.getElementById('progress'), { childList: true });
});

test('a voter reviews the choices, sends them, and the ballot box holds the vote', async (t) => {
  const { info, page } = await serve(t);
  const { cards } = await info.fetchJson('/election.json');
  await recordProgress(page);
  await logIn(page, info.voters[0]);
  await page.getByRole('heading', { name: 'Boletins de voto' }).waitFor();

  // A candidate chosen in one slot cannot be chosen again in the card.
  const c = cards.findIndex((card) => card.slots > 1);
  await page.locator(`#card-${c}-slot-0`).selectOption(cards[c].candidates[0]);
  assert.equal(await page.locator(`#card-${c}-slot-1 option[value="${cards[c].candidates[0]}"]`).isDisabled(), true);

  // Every slot a different candidate, except the last slot of each card.
  const chosen = cards.map((card) => card.candidates.slice(0, card.slots).map((x, s) => (s && s === card.slots - 1 ? '' : x)));
  for (const [c, choices] of chosen.entries()) {
    for (const [s, choice] of choices.entries()) await page.locator(`#card-${c}-slot-${s}`).selectOption(choice);
  }
  await page.getByLabel('PIN').fill('4321');
  await page.getByRole('button', { name: 'Votar' }).click();

  // The review lists the page's own choices; nothing has been sent yet.
  await page.getByRole('heading', { name: 'Confirme o seu voto' }).waitFor();
  const review = cards.flatMap((card, c) => [card.name, ...chosen[c].map((x) => x || '(em branco)')]);
  assert.deepEqual(await page.locator('#review-list > *').allTextContents(), review);
  assert.equal((await tally(t, info)).ballots, 0);
  await page.getByRole('button', { name: 'Alterar' }).click();
  await page.getByRole('button', { name: 'Votar' }).click();
  await page.getByRole('button', { name: 'Confirmar e enviar' }).click();

  await page.getByRole('heading', { name: 'Voto recebido' }).waitFor();
  // The control's text, byte for byte.
  const lines = cards.map((card, c) => `\r\n${card.name}\r\n${chosen[c].map((x) => `\t${x || '(branco)'}\r\n`).join('')}`);
  assert.equal(await page.locator('#confirmation').textContent(),
    `Tem a certeza que pretende votar da seguinte forma ?\r\n${lines.join('')}`);
  assert.deepEqual(await page.evaluate(() => window.said), ['A obter autorização…', 'A enviar o voto…']);
  assert.deepEqual(info.dialogs, []);

  // The servers hold the vote sealed; the tally opens it with the election's key.
  const counted = await tally(t, info);
  assert.equal(counted.ballots, 1);
  assert.deepEqual(counted.cards.map((card) => [card.candidates.filter((x) => x.votes).map((x) => x.name), card.blank]),
    chosen.map((choices) => [choices.filter((x) => x), choices.filter((x) => !x).length]));

  // serve stops with its browser.
  await info.closeBrowser();
  assert.equal(await readUntil(info.out, (line) => line === 'Stopped.'), 'Stopped.');
  assert.equal(await info.exited, 0);
});

test('wrong credentials and a refused vote are told in Portuguese, their texts in Detalhes', async (t) => {
  const { info, page } = await serve(t, '--refuse-votes');
  const banner = page.getByRole('alert');
  const told = async () => [await banner.locator('#banner-text').textContent(),
    await banner.locator('details').getAttribute('open'), await banner.locator('pre').textContent()];

  await logIn(page, [info.voters[0][0], 'wrong']);
  await banner.waitFor();
  assert.deepEqual(await told(),
    ['O utilizador ou a senha não foram aceites. Verifique-os e tente de novo.', null, 'ERROR unknown credentials']);

  await logIn(page, info.voters[0]);
  await page.getByLabel('PIN').fill('4321');
  await page.getByRole('button', { name: 'Votar' }).click();
  await page.getByRole('button', { name: 'Confirmar e enviar' }).click();
  await banner.getByText('O serviço de votação não aceitou o voto').waitFor();
  assert.deepEqual(await told(), ['O serviço de votação não aceitou o voto (a votação pode estar encerrada). ' +
    'O voto não foi registado.', null, 'ERROR votes are closed']);
});
