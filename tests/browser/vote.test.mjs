// Whole votes from the voting page, in the Chromium that `ardenax serve
// --browser` starts against its reference servers.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { test } from 'node:test';
import { readFile } from 'node:fs/promises';
import { ardenaxPath, axeViolations, focusRing, hostProcesses, logIn, readUntil, run, serve, tempDir, verifyReceipt } from './support.mjs';

// The ballot box as the tally counts it, with the demo election's key.
async function tally(t, info) {
  const json = join(await tempDir(t, 'tally'), 'tally.json');
  await run(ardenaxPath, ['tally', '--db', info.db, '--election-key', info.db.replace(/\.db$/, '-key.pem'),
    '--out', json]);
  return JSON.parse(await readFile(json, 'utf8'));
}

// Keeps every text the live region is given, however briefly.
const recordProgress = (page) => page.evaluate(() => {
  window.said = [];
  new MutationObserver((records) => window.said.push(...records.flatMap((r) => [...r.addedNodes].map((n) => n.data))))
    .observe(document.getElementById('progress'), { childList: true });
});

test('a voter reviews the choices, sends them, gets a receipt that both verifiers find, and the ballot box holds the vote', async (t) => {
  const { info, page } = await serve(t);
  const { cards } = await info.fetchJson('/election.json');
  await recordProgress(page);
  // What axe-core finds in each of the page's steps.
  const axe = {};
  await page.getByRole('button', { name: 'Entrar' }).and(page.locator(':enabled')).waitFor();
  axe.login = await axeViolations(page);
  await logIn(page, info.voters[0]);
  await page.getByRole('heading', { name: 'Boletins de voto' }).waitFor();
  axe.ballot = await axeViolations(page);

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
  axe.review = await axeViolations(page);
  const review = cards.flatMap((card, c) => [card.name, ...chosen[c].map((x) => x || '(em branco)')]);
  assert.deepEqual(await page.locator('#review-list > *').allTextContents(), review);
  assert.deepEqual(await page.locator('#review > p').allTextContents(), ['O voto ainda não foi enviado. ' +
    'Verifique as suas escolhas:', 'Se já votou antes, este voto substitui o anterior: só conta o último voto enviado.']);
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
  // The page says the vote was received, since the control's text still asks, and lists the
  // choices in its own words: one word for a blank, the control's "(branco)" only under Detalhes.
  assert.deepEqual(await page.locator('#done > p').allTextContents(), ['O serviço de votação recebeu e guardou o ' +
    'seu voto. As escolhas que enviou:', 'Se votar de novo, o novo voto substitui este: só conta o último voto enviado.']);
  assert.deepEqual(await page.locator('#sent-list > *').allTextContents(), review);
  assert.doesNotMatch(await page.locator('main').innerText(), /\(branco\)/);
  assert.equal(await page.locator('#done details').getAttribute('open'), null);

  // The receipt: whole, its first 8 characters to read aloud, a link to check it on the board.
  const receipt = await page.locator('#receipt').textContent();
  assert.match(receipt, /^[A-Za-z0-9_-]{43}$/);
  assert.equal(await page.locator('#receipt-short').textContent(), `${receipt.slice(0, 4)} ${receipt.slice(4, 8)}`);
  const check = `${info.Page}board/?receipt=${receipt}`;
  assert.equal(await page.getByRole('link', { name: /^Verificar o recibo no quadro de votos/ }).getAttribute('href'), check);
  axe.receipt = await axeViolations(page);

  // The file it saves names the receipt, the board and when the vote was received.
  const [download] = await Promise.all([page.waitForEvent('download'),
    page.getByRole('button', { name: 'Guardar recibo' }).click()]);
  assert.equal(download.suggestedFilename(), `recibo-${receipt.slice(0, 8)}.txt`);
  const saved = (await readFile(await download.path(), 'utf8')).split('\r\n');
  assert.match(saved[4], /^Recebido em: \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$/);
  assert.deepEqual(saved.toSpliced(4, 1), [`Recibo do voto: ${receipt}`, `Forma curta: ${receipt.slice(0, 4)} ${receipt.slice(4, 8)}`,
    `Quadro de votos: ${info.Page}board/`, `Verificar: ${check}`, '']);

  // Both command-line verifiers find it on the board.
  for (const [code, said] of await verifyReceipt(t, info, receipt)) {
    assert.equal(code, 0, said);
    assert.match(said, /^included at index 0 of 1, head signed at 20\d\d-/);
  }
  assert.deepEqual(axe, { login: [], ballot: [], review: [], receipt: [] });

  // At home the receipt step ends the session; a kiosk, opened with ?kiosk, goes on to the next voter.
  await page.getByRole('button', { name: 'Terminar' }).click();
  await page.getByRole('heading', { name: 'Identificação do eleitor' }).waitFor();
  assert.deepEqual(await page.locator('#sent-list, #confirmation, #receipt').allTextContents(), ['', '', '']);
  await page.goto(`${info.Page}?kiosk`);
  assert.equal(await page.locator('#next-voter').textContent(), 'Novo eleitor');

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

test('wrong credentials, a refused vote and a component that ends are told in Portuguese and focused, their texts in Detalhes', async (t) => {
  const { info, page } = await serve(t, '--refuse-votes');
  const banner = page.getByRole('alert');
  const told = async () => [await banner.locator('#banner-text').textContent(),
    await banner.locator('details').getAttribute('open'), await banner.locator('pre').textContent()];
  // After each, the focus is on the message's heading, not lost with a disabled button, and its ring shows.
  const rings = [];
  const focusOnMessage = async () => {
    const { contrast, ...where } = await focusRing(page);
    assert.deepEqual(where, { id: 'banner-title', ring: 'solid 3px' });
    rings.push(contrast);
  };

  // By keyboard, as the ring is for those who use one.
  const logInByKeyboard = async ([user, password]) => {
    await page.getByLabel('Utilizador').fill(user);
    await page.getByLabel('Senha').fill(password);
    await page.getByLabel('Senha').press('Enter');
  };
  await page.getByRole('button', { name: 'Entrar' }).and(page.locator(':enabled')).waitFor();
  await logInByKeyboard([info.voters[0][0], 'wrong']);
  await banner.waitFor();
  assert.deepEqual(await told(),
    ['O utilizador ou a senha não foram aceites. Verifique-os e tente de novo.', null, 'ERROR unknown credentials']);
  await focusOnMessage();
  const axe = { credentials: await axeViolations(page) };

  await logInByKeyboard(info.voters[0]);
  await page.getByLabel('PIN').fill('4321');
  await page.getByLabel('PIN').press('Enter');
  await page.getByRole('button', { name: 'Confirmar e enviar' }).press('Enter');
  await banner.getByText('O serviço de votação não aceitou o voto').waitFor();
  assert.deepEqual(await told(), ['O serviço de votação não aceitou o voto (a votação pode estar encerrada). ' +
    'O voto não foi registado.', null, 'ERROR votes are closed']);
  await focusOnMessage();
  axe.refused = await axeViolations(page);

  // The component ends while the voter is on the ballot: the page says so at once, with no click.
  await page.getByRole('button', { name: 'Alterar' }).press('Enter');
  await page.getByRole('heading', { name: 'Boletins de voto' }).waitFor();
  const hosts = await hostProcesses(join(/\(profile (.*)\)$/.exec(info.Browser)[1], 'stores'));
  assert.equal(hosts.length, 1);
  process.kill(Number(hosts[0]), 'SIGKILL');
  await banner.getByText('A ligação ao componente de voto terminou').waitFor();
  assert.deepEqual(await told(), ['A ligação ao componente de voto terminou. Recarregue a página e volte a entrar.', null,
    'disconnected: Native host has exited.']);
  await focusOnMessage();
  // WCAG 1.4.11: at least 3:1 against the banner behind the ring.
  assert.ok(rings.every((contrast) => contrast >= 3), `ring contrast ${rings}`);
  axe.lost = await axeViolations(page);
  assert.deepEqual(axe, { credentials: [], refused: [], lost: [] });
});
