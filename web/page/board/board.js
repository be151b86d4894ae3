// The board's check page: checks in this browser that a receipt is on the
// election's bulletin board. The server's answers are taken as claims only:
// the head must carry the board key's signature, an inclusion must come with
// a Merkle path to the signed root, and an absence is believed only once the
// whole list of entries gives that root.

const BOARD = new URL('../smv/board/', location.href);
const SIGNED_HEAD_PREFIX = 'ardenax-board-v1';
// The board gives at most this many entries per request.
const ENTRIES_PER_REQUEST = 10000;

const $ = (id) => document.getElementById(id);

// What the board did that this page cannot accept; `why` is for the details.
class BoardFailure extends Error {
  constructor(check, why, facts) {
    super(why);
    this.check = check;
    this.facts = facts;
  }
}

// ---- Encodings ----

const BASE64URL = /^[A-Za-z0-9_-]*$/;

function fromBase64(text) {
  const binary = atob(text);
  return Uint8Array.from(binary, (c) => c.charCodeAt(0));
}

// A 32-byte hash from its 43 characters of base64url, or null.
function hashFromBase64Url(text) {
  if (typeof text !== 'string' || text.length !== 43 || !BASE64URL.test(text)) return null;
  const bytes = fromBase64(`${text.replaceAll('-', '+').replaceAll('_', '/')}=`);
  // The last character's two low bits are not part of the hash: only one spelling counts.
  return toBase64Url(bytes) === text ? bytes : null;
}

function toBase64Url(bytes) {
  return btoa(String.fromCharCode(...bytes)).replaceAll('+', '-').replaceAll('/', '_').replace(/=+$/, '');
}

const hex = (bytes) => [...bytes].map((b) => b.toString(16).padStart(2, '0')).join(':').toUpperCase();

function sameBytes(a, b) {
  return a.length === b.length && a.every((byte, i) => byte === b[i]);
}

// ---- Merkle tree (RFC 6962 hashes) ----

async function sha256(...parts) {
  const data = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) {
    data.set(part, at);
    at += part.length;
  }
  return new Uint8Array(await crypto.subtle.digest('SHA-256', data));
}

const LEAF = Uint8Array.of(0);
const NODE = Uint8Array.of(1);
const leafHash = (receipt) => sha256(LEAF, receipt);
const nodeHash = (left, right) => sha256(NODE, left, right);

// RFC 9162, 2.1.3.2: the root that `path` leads to from leaf `index` of a
// tree of `size` leaves, or null when the path cannot belong to such a tree.
async function rootFromInclusion(index, size, leaf, path) {
  if (index >= size) return null;
  let fn = index;
  let sn = size - 1;
  let r = leaf;
  for (const p of path) {
    if (sn === 0) return null;
    if (fn % 2 === 1 || fn === sn) {
      r = await nodeHash(p, r);
      while (fn % 2 === 0 && fn !== 0) {
        fn = Math.floor(fn / 2);
        sn = Math.floor(sn / 2);
      }
    } else {
      r = await nodeHash(r, p);
    }
    fn = Math.floor(fn / 2);
    sn = Math.floor(sn / 2);
  }
  return sn === 0 ? r : null;
}

// The root of all `leaves`: pairs level by level, an odd last node going up
// as it is, which builds the same tree as RFC 6962's split.
async function rootOf(leaves) {
  if (leaves.length === 0) return sha256();
  let level = leaves;
  while (level.length > 1) {
    const up = [];
    for (let i = 0; i + 1 < level.length; i += 2) up.push(await nodeHash(level[i], level[i + 1]));
    if (level.length % 2 === 1) up.push(level.at(-1));
    level = up;
  }
  return level[0];
}

// RFC 9162, 2.1.4.2: whether `path` proves that the tree of `first` leaves
// and root `firstRoot` starts the tree of `second` leaves and root `secondRoot`.
async function consistent(first, second, firstRoot, secondRoot, path) {
  if (first === second) return path.length === 0 && sameBytes(firstRoot, secondRoot);
  if (first === 0 || first > second || path.length === 0) return false;
  const proof = (first & (first - 1)) === 0 ? [firstRoot, ...path] : path;
  let fn = first - 1;
  let sn = second - 1;
  while (fn % 2 === 1) {
    fn = Math.floor(fn / 2);
    sn = Math.floor(sn / 2);
  }
  let fr = proof[0];
  let sr = proof[0];
  for (const c of proof.slice(1)) {
    if (sn === 0) return false;
    if (fn % 2 === 1 || fn === sn) {
      fr = await nodeHash(c, fr);
      sr = await nodeHash(c, sr);
      while (fn % 2 === 0 && fn !== 0) {
        fn = Math.floor(fn / 2);
        sn = Math.floor(sn / 2);
      }
    } else {
      sr = await nodeHash(sr, c);
    }
    fn = Math.floor(fn / 2);
    sn = Math.floor(sn / 2);
  }
  return sn === 0 && sameBytes(fr, firstRoot) && sameBytes(sr, secondRoot);
}

// ---- What this browser saw before ----

// The last head this browser found true, so that a board that later drops,
// changes or reorders what it had shown is caught here too.
const MEMORY = `ardenax-board:${BOARD.href}`;

function lastHead() {
  try {
    const kept = JSON.parse(localStorage.getItem(MEMORY));
    return isIndex(kept?.size) && hashFromBase64Url(kept.root) ? kept : null;
  } catch {
    return null;
  }
}

function remember({ size, root, time }) {
  try {
    localStorage.setItem(MEMORY, JSON.stringify({ size, root, time }));
  } catch {
    // Storage refused (a private window): the next check starts afresh.
  }
}

async function checkGrowth(head) {
  const last = lastHead();
  if (!last) return;
  const since = ` since the head signed at ${last.time} (${last.size} entries)`;
  if (head.size < last.size) throw new BoardFailure('history', `the board shrank to ${head.size} entries${since}`);
  let grew = last.size === 0 || (head.size === last.size && head.root === last.root);
  if (!grew && head.size > last.size) {
    const { body } = await askJson('consistency', { first: last.size, second: head.size });
    grew = await consistent(last.size, head.size, hashFromBase64Url(last.root), head.rootBytes,
      hashesOf(body?.path, 'consistency proof'));
  }
  if (!grew) throw new BoardFailure('history', `the board rewrote its history${since}`);
}

// ---- The board's key ----

// One DER element at `at`: its tag, where its content starts and where it ends.
function derElement(der, at) {
  if (at + 2 > der.length) throw new Error('DER ends early');
  const tag = der[at];
  let length = der[at + 1];
  let start = at + 2;
  if (length & 0x80) {
    const octets = length & 0x7f;
    if (octets === 0 || octets > 4 || start + octets > der.length) throw new Error('bad DER length');
    length = 0;
    for (let i = 0; i < octets; i++) length = length * 256 + der[start + i];
    start += octets;
  }
  const end = start + length;
  if (end > der.length) throw new Error('DER element ends beyond its container');
  return { tag, start, end };
}

function derChildren(der, { start, end }) {
  const children = [];
  for (let at = start; at < end; at = children.at(-1).end) children.push({ ...derElement(der, at), at });
  return children;
}

const SEQUENCE = 0x30;
const VERSION = 0xa0; // [0] EXPLICIT, absent in version 1 certificates

// Certificate -> tbsCertificate -> subjectPublicKeyInfo, as DER.
function subjectPublicKeyInfo(der) {
  const certificate = derElement(der, 0);
  if (certificate.tag !== SEQUENCE) throw new Error('not a certificate');
  const [tbs] = derChildren(der, certificate);
  if (tbs?.tag !== SEQUENCE) throw new Error('no tbsCertificate');
  const fields = derChildren(der, tbs);
  if (fields[0]?.tag === VERSION) fields.shift();
  // serial, signature algorithm, issuer, validity, subject, then the key.
  const spki = fields[5];
  if (spki?.tag !== SEQUENCE) throw new Error('no subjectPublicKeyInfo');
  return der.slice(spki.at, spki.end);
}

function derOfPem(pem) {
  const body = /-----BEGIN CERTIFICATE-----([A-Za-z0-9+/=\s]+)-----END CERTIFICATE-----/.exec(pem);
  if (!body) throw new Error('no PEM certificate');
  return fromBase64(body[1].replace(/\s+/g, ''));
}

async function boardKey(pem) {
  try {
    const der = derOfPem(pem);
    const key = await crypto.subtle.importKey('spki', subjectPublicKeyInfo(der),
      { name: 'RSASSA-PKCS1-v1_5', hash: 'SHA-256' }, false, ['verify']);
    return { key, fingerprint: hex(await sha256(der)) };
  } catch (error) {
    throw new BoardFailure('answer', `the board's certificate holds no usable RSA key: ${error.message}`);
  }
}

// ---- Asking the board ----

async function ask(path, params = {}) {
  const url = new URL(path, BOARD);
  url.search = new URLSearchParams(params).toString();
  let response;
  try {
    response = await fetch(url, { cache: 'no-store' });
  } catch (error) {
    throw Object.assign(new Error(`${url}: ${error.message}`), { unreachable: true });
  }
  return response;
}

async function askJson(path, params, allowed = [200]) {
  const response = await ask(path, params);
  if (!allowed.includes(response.status)) {
    throw Object.assign(new Error(`${path} answered HTTP ${response.status}`), { unreachable: true });
  }
  try {
    return { status: response.status, body: await response.json() };
  } catch {
    throw new BoardFailure('answer', `the board's ${path} is not JSON`);
  }
}

const isIndex = (value) => Number.isSafeInteger(value) && value >= 0;

function hashesOf(list, what) {
  const hashes = Array.isArray(list) ? list.map(hashFromBase64Url) : [null];
  if (hashes.includes(null)) throw new BoardFailure('answer', `the board's ${what} is not a list of hashes`);
  return hashes;
}

// The board's head, its signature checked with the board's certificate.
async function signedHead() {
  const [{ body: head }, certificate] = await Promise.all([
    askJson('head'),
    ask('certificate').then(async (response) => {
      if (!response.ok) {
        throw Object.assign(new Error(`certificate answered HTTP ${response.status}`), { unreachable: true });
      }
      return response.text();
    }),
  ]);
  const root = hashFromBase64Url(head?.root);
  if (!isIndex(head?.size) || !root || typeof head.time !== 'string' || typeof head.signature !== 'string') {
    throw new BoardFailure('answer', "the board's head is not a signed head");
  }
  let signature;
  try {
    signature = fromBase64(head.signature);
  } catch {
    throw new BoardFailure('answer', "the board's head signature is not Base64");
  }
  const { key, fingerprint } = await boardKey(certificate);
  const signed = new TextEncoder().encode(`${SIGNED_HEAD_PREFIX}\n${head.size}\n${head.root}\n${head.time}`);
  const facts = { size: head.size, root: head.root, time: head.time, fingerprint };
  if (!(await crypto.subtle.verify('RSASSA-PKCS1-v1_5', key, signature, signed))) {
    throw new BoardFailure('signature', "the head's signature does not verify with the board's certificate", facts);
  }
  return { ...facts, rootBytes: root };
}

// The board's first `size` receipts: one request per 10,000, so a large
// board takes a while, and only a receipt the board denies needs them.
async function allReceipts(size) {
  const receipts = [];
  for (let start = 0; start < size; start += ENTRIES_PER_REQUEST) {
    const end = Math.min(size, start + ENTRIES_PER_REQUEST);
    const { body } = await askJson('entries', { start, end });
    const entries = Array.isArray(body?.entries) ? body.entries : [];
    if (entries.length !== end - start) {
      throw new BoardFailure('entries', `the board gave ${entries.length} entries from ${start} to ${end}`);
    }
    for (const [i, entry] of entries.entries()) {
      if (entry?.index !== start + i || !hashFromBase64Url(entry.receipt)) {
        throw new BoardFailure('answer', `the board's entry ${start + i} is malformed`);
      }
      receipts.push(entry.receipt);
    }
  }
  return receipts;
}

// What the board shows of `receipt`: {outcome: 'included' | 'absent', ...}.
async function check(receipt) {
  const head = await signedHead();
  const facts = { size: head.size, root: head.root, time: head.time, fingerprint: head.fingerprint };
  try {
    await checkGrowth(head);
    const leaf = await leafHash(hashFromBase64Url(receipt));
    const { status, body } = await askJson('proof', { receipt, size: head.size }, [200, 404]);
    if (status === 200) {
      if (!isIndex(body?.index) || body.size !== head.size) {
        throw new BoardFailure('answer', "the board's proof is not for the signed head");
      }
      const root = await rootFromInclusion(body.index, head.size, leaf, hashesOf(body.path, 'proof'));
      if (root === null || !sameBytes(root, head.rootBytes)) {
        throw new BoardFailure('proof', `the proof for index ${body.index} does not lead to the signed root`);
      }
      remember(head);
      return { outcome: 'included', index: body.index, ...facts };
    }
    // "Not there" is a claim too: the whole list must give the signed root.
    const receipts = await allReceipts(head.size);
    const root = await rootOf(await Promise.all(receipts.map((r) => leafHash(hashFromBase64Url(r)))));
    if (!sameBytes(root, head.rootBytes)) {
      throw new BoardFailure('entries', `the board's ${head.size} entries do not give the signed root`);
    }
    if (receipts.includes(receipt)) {
      throw new BoardFailure('proof', `the board denies the receipt at index ${receipts.indexOf(receipt)}`);
    }
    remember(head);
    return { outcome: 'absent', ...facts };
  } catch (error) {
    error.facts ??= facts;
    throw error;
  }
}

// ---- What the voter is told ----

const entries = (n) => (n === 1 ? '1 entrada' : `${n} entradas`);
// The head's time as "AAAA-MM-DD às HH:MM:SS (UTC)".
const when = (time) => (/^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d/.test(time)
  ? `${time.slice(0, 10)} às ${time.slice(11, 19)} (UTC)` : time);

const FAILED = {
  signature: 'A assinatura da lista não é válida para o certificado do quadro: nada do que o quadro mostra pode ser dado como certo.',
  proof: 'A prova que o quadro deu para este recibo não corresponde à lista que assinou.',
  entries: 'As entradas do quadro não correspondem à lista que assinou.',
  answer: 'O quadro deu uma resposta que não tem a forma devida.',
  history: 'A lista que o quadro assina agora não continua a que este navegador já tinha verificado: ' +
    'o quadro retirou, alterou ou reordenou entradas que já tinha publicado.',
};

function tell(kind, title, text, facts = []) {
  $('result').className = `result ${kind}`;
  $('result-title').textContent = title;
  $('result-text').textContent = text;
  const list = $('result-facts');
  list.replaceChildren();
  for (const [term, value] of facts) {
    if (value === undefined) continue;
    const dt = document.createElement('dt');
    dt.textContent = term;
    const dd = document.createElement('dd');
    dd.textContent = String(value);
    list.append(dt, dd);
  }
  $('result-details').hidden = list.childElementCount === 0;
  $('result-details').open = false;
  $('result').hidden = false;
  $('result-title').focus();
}

function headFacts(receipt, facts = {}) {
  return [
    ['Recibo', receipt],
    ['Índice', facts.index],
    ['Entradas na lista assinada', facts.size],
    ['Lista assinada em', facts.time],
    ['Raiz da lista', facts.root],
    ['Certificado do quadro (SHA-256)', facts.fingerprint],
  ];
}

async function run(receipt) {
  $('result').hidden = true;
  if (!hashFromBase64Url(receipt)) {
    tell('failed', 'Recibo inválido',
      'Um recibo tem 43 caracteres: letras sem acentos, algarismos, «-» e «_». Verifique se o copiou por inteiro.');
    return;
  }
  const button = $('check-form').querySelector('button');
  button.disabled = true;
  $('progress').textContent = 'A verificar o recibo no quadro…';
  try {
    const found = await check(receipt);
    const facts = headFacts(receipt, found);
    if (found.outcome === 'included') {
      tell('included', 'Voto incluído no quadro',
        `O recibo está no quadro com o índice ${found.index} de ${found.size}, na lista que o quadro assinou ` +
          `em ${when(found.time)}. Este navegador verificou a assinatura da lista e a prova de que o recibo faz parte dela.`,
        facts);
    } else {
      tell('absent', 'Recibo não encontrado',
        `A lista que o quadro assinou em ${when(found.time)}, com ${entries(found.size)}, não tem este recibo. ` +
          'Este navegador verificou a assinatura da lista e que as entradas lhe correspondem. Confirme que copiou ' +
          'o recibo por inteiro; se estiver certo, comunique-o a quem organiza a eleição.',
        facts);
    }
  } catch (error) {
    if (error instanceof BoardFailure) {
      tell('failed', 'O quadro falhou uma verificação',
        `${FAILED[error.check]} Comunique-o a quem organiza a eleição, com os detalhes abaixo.`,
        [['Verificação falhada', error.message], ...headFacts(receipt, error.facts)]);
    } else {
      tell('failed', 'Não foi possível consultar o quadro',
        'Verifique a ligação à Internet e tente de novo dentro de alguns minutos.',
        [['Erro', error.message]]);
    }
  } finally {
    $('progress').textContent = '';
    button.disabled = false;
  }
}

$('check-form').addEventListener('submit', (event) => {
  event.preventDefault();
  const receipt = $('receipt').value.trim();
  // The address then names the receipt, to check again or to pass on.
  history.replaceState(null, '', `?${new URLSearchParams({ receipt })}`);
  run(receipt);
});

const given = new URLSearchParams(location.search).get('receipt');
if (given !== null) {
  $('receipt').value = given;
  run(given.trim());
}
