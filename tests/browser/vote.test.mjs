// A whole vote from the voting page, in Chromium, against the reference
// servers of `ardenax serve`.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { readFile } from 'node:fs/promises';
import { Agent, get } from 'node:https';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { test } from 'node:test';
import { ardenaxPath, launch, pageDir, tempDir } from './support.mjs';

// Starts the reference servers and reads what they print up to "Ready.".
async function serve(t, ...extra) {
  const dir = await tempDir(t, 'serve');
  const server = spawn(
    ardenaxPath,
    ['serve', '--address', '127.0.0.1', '--port', '0', '--db', join(dir, 'election.db'),
      '--web-root', pageDir, ...extra],
    { stdio: ['ignore', 'pipe', 'inherit'] },
  );
  const ended = new Promise((done) => server.once('close', done));
  t.after(() => {
    server.kill('SIGTERM');
    return ended;
  });
  const failed = new Promise((_, reject) => {
    server.once('error', reject);
    ended.then((code) => reject(new Error(`ardenax serve ended (${code}) before "Ready."`)));
  });
  failed.catch(() => {}); // it matters only until "Ready."
  const info = { voters: [] };
  const lines = createInterface({ input: server.stdout })[Symbol.asyncIterator]();
  for (;;) {
    const { value: line, done } = await Promise.race([lines.next(), failed]);
    if (done || line === 'Ready.') break;
    const [, key, value] = /^([^:]+): (.*)$/.exec(line) ?? [];
    if (key === 'Demo voter') {
      const [, user, password, name] = /^utilizador=(.*)###senha=(.*) \((.*)\)$/.exec(value);
      info.voters.push({ user, password, name });
    } else if (key) {
      info[key] = value;
    }
  }
  assert.ok(info.Page, 'ardenax serve printed no page address');
  const ca = await readFile(info['CA file']);
  info.fetchJson = (path) =>
    new Promise((resolve, reject) => {
      get(new URL(path, info.Page), { agent: new Agent({ ca }) }, (response) => {
        let body = '';
        response.setEncoding('utf8').on('data', (chunk) => (body += chunk));
        response.on('end', () => resolve(JSON.parse(body)));
      }).on('error', reject);
    });
  return info;
}

async function openPage(t, info) {
  const { context } = await launch(t, {
    ARDENAX_STORE_DIR: await tempDir(t, 'store'),
    ARDENAX_CA_FILE: info['CA file'],
    ARDENAX_PROMOTOR_URL: info.Promotor,
    ARDENAX_SMV_URL: info.SMV,
  },
  // The servers' certificate comes from a throwaway CA that Chromium does not know.
  { ignoreHTTPSErrors: true });
  const page = await context.newPage();
  const dialogs = [];
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    return dialog.accept();
  });
  await page.goto(info.Page);
  return { page, dialogs };
}

async function logIn(page, voter, password = voter.password) {
  await page.getByLabel('Utilizador').fill(voter.user);
  await page.getByLabel('Senha').fill(password);
  await page.getByRole('button', { name: 'Entrar' }).click();
}

test('a voter votes from the page and the ballot box holds the vote', async (t) => {
  const info = await serve(t);
  const { cards } = await info.fetchJson('/election.json');
  const { page, dialogs } = await openPage(t, info);

  await logIn(page, info.voters[0]);
  await page.getByRole('heading', { name: 'Boletins de voto' }).waitFor();
  // Every slot gets a candidate, except the last slot of the first card.
  const chosen = cards.map((card, c) =>
    Array.from({ length: card.slots }, (_, s) =>
      c === 0 && s === card.slots - 1 ? '' : card.candidates[s % card.candidates.length],
    ),
  );
  for (const [c, choices] of chosen.entries()) {
    for (const [s, choice] of choices.entries()) {
      await page.locator(`#card-${c}-slot-${s}`).selectOption(choice);
    }
  }
  await page.getByLabel('PIN').fill('4321');
  await page.getByRole('button', { name: 'Votar' }).click();
  await page.getByRole('heading', { name: 'Voto enviado' }).waitFor();

  let expected = 'Tem a certeza que pretende votar da seguinte forma ?\r\n';
  for (const [c, card] of cards.entries()) {
    expected += `\r\n${card.name}\r\n`;
    for (const choice of chosen[c]) expected += `\t${choice || '(branco)'}\r\n`;
  }
  assert.equal(await page.locator('#confirmation').textContent(), expected);
  assert.deepEqual(dialogs, []);
  assert.ok(await page.locator('#banner').isHidden());

  const { votes } = await info.fetchJson('/ballot-box.json');
  assert.equal(votes.length, 1);
  assert.equal(votes[0].verdict, 'OK');
  assert.equal(votes[0].counted, true);
  for (const [c, card] of cards.entries()) {
    assert.ok(votes[0].xml.includes(card.id), card.id);
    for (const choice of chosen[c].filter(Boolean)) assert.ok(votes[0].xml.includes(choice), choice);
  }
});

test('wrong credentials and a refused vote show the error banner', async (t) => {
  const info = await serve(t, '--refuse-votes');
  const { page } = await openPage(t, info);
  const banner = page.locator('#banner');

  await logIn(page, info.voters[0], `${info.voters[0].password}x`);
  await banner.waitFor();
  assert.match(await banner.textContent(), /^Não foi possível entrar: ERROR/);
  assert.equal(await page.getByRole('heading', { name: 'Boletins de voto' }).isVisible(), false);

  await logIn(page, info.voters[0]);
  await page.getByRole('heading', { name: 'Boletins de voto' }).waitFor();
  await page.getByLabel('PIN').fill('4321');
  await page.getByRole('button', { name: 'Votar' }).click();
  await page.getByText('O voto não foi aceite').waitFor();
  assert.equal(await banner.textContent(), 'O voto não foi aceite: ERROR votes are closed');
});
