// The receipt step by keyboard alone, and the board's check page: it finds the
// voters' receipts, and tells a board that fails a check from one without the receipt.
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { readFile } from 'node:fs/promises';
import { test } from 'node:test';
import { axeViolations, logIn, run, serve } from './support.mjs';

const focused = (page) => page.evaluate(() => document.activeElement?.id);

// Presses Tab until the element `id` has the focus; gives the ids passed on the way.
async function tabTo(page, id) {
  const passed = [];
  for (let i = 0; i < 40 && passed.at(-1) !== id; i++) {
    await page.keyboard.press('Tab');
    passed.push(await focused(page));
  }
  assert.equal(passed.at(-1), id, `Tab never reached #${id}: ${passed}`);
  return passed;
}

// Runs SQL on the election's database behind the server's back.
const tamper = (info, sql) =>
  run('python3', ['-c', 'import sqlite3, sys\nwith sqlite3.connect(sys.argv[1]) as db: db.executescript(sys.argv[2])',
    info.db, sql]);

const hashOf = (text) => createHash('sha256').update(text).digest('base64url');

// Makes the board's kept tree nodes again from its leaves, as a server that
// signs a rewritten history would.
const REBUILD_NODES = `
import base64, hashlib
leaves = [r[0] for r in db.execute('SELECT receipt FROM board_leaf ORDER BY position')]
db.execute('DELETE FROM board_node')
nodes = {}
for i, receipt in enumerate(leaves):
    h, level, pos = hashlib.sha256(b'\\0' + base64.urlsafe_b64decode(receipt + '=')).digest(), 0, i
    nodes[(0, i)] = h
    while pos & 1:
        h = hashlib.sha256(b'\\1' + nodes[(level, pos - 1)] + h).digest()
        level, pos = level + 1, pos >> 1
        nodes[(level, pos)] = h
db.executemany('INSERT INTO board_node VALUES (?, ?, ?)', [(l, p, h.hex().upper()) for (l, p), h in nodes.items()])
`;
const rewrite = (info, sql) =>
  run('python3', ['-c', `import sqlite3, sys\nwith sqlite3.connect(sys.argv[1]) as db:\n    db.executescript(sys.argv[2])\n${
    REBUILD_NODES.replace(/^(?=.)/gm, '    ')}`, info.db, sql]);

// What the board page tells about `receipt`: [kind, title, text, {term: value} of Detalhes].
async function told(board) {
  const result = board.locator('#result');
  await result.waitFor();
  await board.locator('#progress:empty').waitFor({ state: 'attached' });
  const terms = await result.locator('dt').allTextContents();
  const values = await result.locator('dd').allTextContents();
  return [(await result.getAttribute('class')).replace('result ', ''), await result.locator('h2').textContent(),
    await result.locator('#result-text').textContent(), Object.fromEntries(terms.map((term, i) => [term, values[i]]))];
}

// "2025-01-02T03:04:05.678Z" as the page says it.
const when = (time) => `${time.slice(0, 10)} às ${time.slice(11, 19)} (UTC)`;

test('a vote made with the keyboard alone ends at a receipt that the board page finds; a tampered board fails there', async (t) => {
  const { info, page } = await serve(t);
  const axe = {};
  const [user, password] = info.voters[0];
  const { cards } = await info.fetchJson('/election.json');
  await info.context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: info.Page.slice(0, -1) });

  // Log in, choose, review and send with keys only.
  await page.locator('#user:enabled').waitFor();
  assert.deepEqual(await tabTo(page, 'user'), ['user']);
  await page.keyboard.type(user);
  await page.keyboard.press('Tab');
  await page.keyboard.type(password);
  await page.keyboard.press('Enter');
  await page.getByRole('heading', { name: 'Boletins de voto' }).waitFor();
  assert.equal(await focused(page), 'ballot-title');
  await tabTo(page, 'card-0-slot-0');
  await page.keyboard.press('ArrowDown');
  await tabTo(page, 'pin');
  await page.keyboard.type('2468');
  await page.keyboard.press('Enter');
  await page.getByRole('heading', { name: 'Confirme o seu voto' }).waitFor();
  assert.equal(await page.locator('#review-list dd').first().textContent(), cards[0].candidates[0]);
  assert.deepEqual(await tabTo(page, 'send'), ['send']);
  await page.keyboard.press('Enter');

  // The receipt step: copy, save and check in the order read, then the end.
  await page.getByRole('heading', { name: 'Voto recebido' }).waitFor();
  assert.equal(await focused(page), 'done-title');
  const receipt = await page.locator('#receipt').textContent();
  assert.match(receipt, /^[A-Za-z0-9_-]{43}$/);
  assert.deepEqual(await tabTo(page, 'copy-receipt'), ['copy-receipt']);
  await page.keyboard.press('Enter');
  await page.getByRole('status').getByText('Recibo copiado.').waitFor();
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), receipt);
  assert.deepEqual(await tabTo(page, 'check-receipt'), ['save-receipt', 'check-receipt']);
  const [opened] = await Promise.all([info.context.waitForEvent('page'), page.keyboard.press('Enter')]);
  // Past the component's own text, under Detalhes.
  assert.deepEqual(await tabTo(page, 'next-voter'), ['', 'next-voter']);
  await page.keyboard.press('Enter');
  await page.getByRole('heading', { name: 'Identificação do eleitor' }).waitFor();
  assert.deepEqual(await page.locator('#receipt, #receipt-short').allTextContents(), ['', '']);

  // The link opened the board's check of that receipt, in a tab of its own.
  const board = opened;
  const [kind, title, text, facts] = await told(board);
  assert.equal(board.url(), `${info.Page}board/?receipt=${receipt}`);
  assert.deepEqual([kind, title, text], ['included', 'Voto incluído no quadro',
    `O recibo está no quadro com o índice 0 de 1, na lista que o quadro assinou em ${when(facts['Lista assinada em'])}. ` +
      'Este navegador verificou a assinatura da lista e a prova de que o recibo faz parte dela.']);
  assert.match(facts['Lista assinada em'], /^20\d\d-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$/);
  // A tree of one leaf has that leaf's hash as its root; the key is the one serve published.
  const certificate = /-----BEGIN CERTIFICATE-----([^-]+)-----END/.exec(await readFile(info['Board certificate'], 'ascii'))[1];
  assert.deepEqual({ ...facts, 'Lista assinada em': '' }, {
    Recibo: receipt, 'Índice': '0', 'Entradas na lista assinada': '1', 'Lista assinada em': '',
    'Raiz da lista': hashOf(Buffer.concat([Buffer.of(0), Buffer.from(receipt, 'base64url')])),
    'Certificado do quadro (SHA-256)': createHash('sha256').update(Buffer.from(certificate, 'base64'))
      .digest('hex').toUpperCase().match(/../g).join(':'),
  });
  axe.included = await axeViolations(board);

  // A second voter, so that the board's tree has a path to check. A tab behind is slow to act on.
  await page.bringToFront();
  await logIn(page, info.voters[1]);
  await page.getByLabel('PIN').fill('1357');
  await page.getByRole('button', { name: 'Votar' }).click();
  await page.getByRole('button', { name: 'Confirmar e enviar' }).click();
  const second = await page.locator('#receipt:not(:empty)').textContent();
  assert.notEqual(second, receipt);

  // Typed into the empty page, the second receipt is found at index 1 of 2; the address then names it.
  await board.bringToFront();
  await board.goto(`${info.Page}board/`);
  axe.empty = await axeViolations(board);
  await tabTo(board, 'receipt');
  await board.keyboard.type(second);
  await board.keyboard.press('Enter');
  assert.match((await told(board))[2], /^O recibo está no quadro com o índice 1 de 2, /);
  assert.equal(board.url(), `${info.Page}board/?receipt=${second}`);

  const check = async (which) => {
    await board.goto(`${info.Page}board/?receipt=${which}`);
    return told(board);
  };
  // A receipt the board does not have; then one that is not a receipt.
  const absent = await check(hashOf('no such vote'));
  assert.deepEqual(absent.slice(0, 3), ['absent', 'Recibo não encontrado',
    `A lista que o quadro assinou em ${when(absent[3]['Lista assinada em'])}, com 2 entradas, não tem este recibo. ` +
      'Este navegador verificou a assinatura da lista e que as entradas lhe correspondem. Confirme que copiou o ' +
      'recibo por inteiro; se estiver certo, comunique-o a quem organiza a eleição.']);
  axe.absent = await axeViolations(board);
  assert.deepEqual((await check(receipt.slice(0, 42))).slice(0, 2), ['failed', 'Recibo inválido']);

  // The board altered behind the server: each is a failed check, never "not found".
  const failedCheck = async (which) => {
    const [kind, title, text, facts] = await check(which);
    assert.deepEqual([kind, title], ['failed', 'O quadro falhou uma verificação']);
    assert.match(text, /Comunique-o a quem organiza a eleição, com os detalhes abaixo\.$/);
    return [text.replace(/ Comunique-o.*/, ''), facts['Verificação falhada']];
  };
  // The first entry replaced: the board has no proof for the receipt, and its entries miss the signed root.
  await tamper(info, `UPDATE board_leaf SET receipt = '${hashOf('forged')}' WHERE position = 0`);
  assert.deepEqual(await failedCheck(receipt), ['As entradas do quadro não correspondem à lista que assinou.',
    "the board's 2 entries do not give the signed root"]);
  axe.failed = await axeViolations(board);
  await tamper(info, `UPDATE board_leaf SET receipt = '${receipt}' WHERE position = 0`);
  assert.equal((await check(receipt))[0], 'included');

  // The two entries swapped: the board's proof puts the receipt where the signed tree has the other.
  const swap = 'UPDATE board_leaf SET position = 101 - position; UPDATE board_leaf SET position = position - 100';
  await tamper(info, swap);
  assert.deepEqual(await failedCheck(receipt), [
    'A prova que o quadro deu para este recibo não corresponde à lista que assinou.',
    'the proof for index 1 does not lead to the signed root']);
  await tamper(info, swap);

  // A true head given with another time than the one signed.
  const head = await info.fetchJson('/smv/board/head');
  await board.route('**/smv/board/head', (route) => route.fulfill({ json: { ...head, time: '2000-01-01T00:00:00.000Z' } }));
  assert.deepEqual(await failedCheck(receipt), ['A assinatura da lista não é válida para o certificado do quadro: ' +
    'nada do que o quadro mostra pode ser dado como certo.',
  "the head's signature does not verify with the board's certificate"]);
  await board.unrouteAll();
  assert.equal((await check(receipt))[0], 'included');

  // The board re-signs a history it rewrote, or one it cut short: this browser saw the true head before.
  const history = async (which) => {
    const [text, why] = await failedCheck(which);
    assert.equal(text, 'A lista que o quadro assina agora não continua a que este navegador já tinha ' +
      'verificado: o quadro retirou, alterou ou reordenou entradas que já tinha publicado.');
    return why;
  };
  await rewrite(info, `UPDATE board_leaf SET receipt = '${hashOf('forged')}' WHERE position = 1`);
  assert.match(await history(receipt), /^the board rewrote its history since the head signed at \S+ \(2 entries\)$/);
  await rewrite(info, `UPDATE board_leaf SET receipt = '${second}' WHERE position = 1`);
  assert.equal((await check(receipt))[0], 'included');
  await tamper(info, 'DELETE FROM board_leaf WHERE position = 1');
  assert.match(await history(receipt), /^the board shrank to 1 entries since the head signed at \S+ \(2 entries\)$/);
  await tamper(info, `INSERT INTO board_leaf VALUES (1, '${second}', '2026-01-01T00:00:00.000Z')`);
  assert.equal((await check(second))[0], 'included');

  assert.deepEqual(axe, { included: [], empty: [], absent: [], failed: [] });
});
