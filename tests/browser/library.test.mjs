// The page library, the extension's origin rule and its identity, without a browser.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { ArdenaX, classify } from '../../web/ardenax.js';
import { originAllowed } from '../../web/extension/origins.js';

// A page's window with the extension's mark; answers calls with their method's name unless `held`,
// and with what `besides` holds for the method beside it.
class FakeWindow extends EventTarget {
  location = { origin: 'https://vote.example' };
  marks = ['data-ardenax-extension', 'data-ardenax'];
  document = { documentElement: { hasAttribute: (name) => this.marks.includes(name) } };
  posted = [];
  held = false;
  besides = {};

  postMessage(data, targetOrigin) {
    this.posted.push({ data, targetOrigin });
    const reply = data.ardenax === 'connect' ? { connected: 7 }
      : this.held ? null : { result: data.method, ...this.besides[data.method] };
    if (reply) queueMicrotask(() => this.deliver({ id: data.id, ...reply }));
  }

  deliver(reply, { source = this, origin = this.location.origin } = {}) {
    const event = new MessageEvent('message', { data: { ardenax: 'reply', ...reply }, origin });
    Object.defineProperty(event, 'source', { value: source });
    this.dispatchEvent(event);
  }

  requests = () => this.posted.filter((p) => p.data.ardenax === 'request').map((p) => p.data);
}

const settled = () => new Promise((done) => setImmediate(done));

test('the nine methods post their names and texts, one call at a time, to the page origin', async () => {
  const win = new FakeWindow();
  const vx = await ArdenaX.connect({ window: win });
  const names = ['obtainToken', 'getCurrentToken', 'setChoice', 'getConfirmationText', 'createPINHash',
    'setPINHash', 'getCurrentPINHash', 'getVersion', 'resetState'];
  for (const name of names) assert.equal(await vx[name]('a', 2, 'c'), name);
  assert.deepEqual(win.requests().map((r) => [r.method, r.session]), names.map((name) => [name, 7]));
  assert.deepEqual(win.requests()[2].args, ['a', '2', 'c']);
  assert.ok(win.posted.every((p) => p.targetOrigin === 'https://vote.example'));
  await assert.rejects(vx.obtainToken({}), TypeError);

  // A failed call rejects with the control's error; the next call waits for it, then runs.
  win.held = true;
  const [reset, version] = [vx.resetState(), vx.getVersion()];
  await settled();
  const held = win.requests().slice(names.length);
  assert.deepEqual(held.map((r) => r.method), ['resetState']);
  win.deliver({ id: held[0].id, error: { code: 'failed', number: 70, description: 'Permission denied' } });
  await assert.rejects(reset, { name: 'ArdenaXError', code: 'failed', number: 70, message: 'Permission denied' });
  await settled();
  win.deliver({ id: win.requests().at(-1).id, result: '2.1.0.2239' });
  assert.equal(await version, '2.1.0.2239');
});

test('connecting tells a page the extension does not serve from a browser without it, and posts nothing', async () => {
  const win = new FakeWindow();
  const failure = (marks) => {
    win.marks = marks;
    return ArdenaX.connect({ window: win }).catch(({ name, code, missing }) => [name, code, missing]);
  };
  assert.deepEqual(await failure(['data-ardenax-extension']), ['ArdenaXError', 'refused', undefined]);
  assert.deepEqual(await failure([]), ['ArdenaXError', 'not-installed', 'extension']);
  assert.deepEqual(win.posted, []);
});

test('only replies that the page window itself posted count; silence times out', async () => {
  const win = new FakeWindow();
  const vx = await ArdenaX.connect({ window: win });
  win.held = true;
  const call = vx.getCurrentToken();
  await settled();
  const [{ id }] = win.requests();
  win.deliver({ id, result: 'from a frame' }, { source: {} });
  win.deliver({ id, result: 'other origin' }, { origin: 'https://evil.example' });
  win.deliver({ id: `${id}x`, result: 'other id' });
  win.deliver({ id, result: 'TOKEN' });
  assert.equal(await call, 'TOKEN');
  win.postMessage = () => {};
  await assert.rejects(ArdenaX.connect({ window: win, timeout: 1 }), { code: 'timeout' });
});

test('the receipt that came with an accepted vote stays until a reset; the result stays a text', async () => {
  const win = new FakeWindow();
  const vx = await ArdenaX.connect({ window: win });
  const receipt = 'n4bQgYhMfWWaL-qgxVrQFaO_TxsrC4Is0V1sFbDwCgg';
  assert.equal(await vx.getReceipt(), '');
  // Asked before the vote's reply is in, it still waits for it.
  win.besides.getConfirmationText = { receipt };
  assert.deepEqual(await Promise.all([vx.getConfirmationText(), vx.getReceipt()]), ['getConfirmationText', receipt]);
  // A later vote refused, with no receipt, leaves the accepted one's.
  win.besides.getConfirmationText = {};
  assert.deepEqual(await Promise.all([vx.getConfirmationText(), vx.getReceipt()]), ['getConfirmationText', receipt]);
  // Only getConfirmationText's reply gives one.
  win.besides.setPINHash = { receipt: 'x' };
  assert.deepEqual(await Promise.all([vx.setPINHash('1'), vx.getReceipt()]), ['setPINHash', receipt]);
  assert.deepEqual(await Promise.all([vx.resetState(), vx.getReceipt()]), ['resetState', '']);
  assert.deepEqual(win.requests().map((r) => r.method),
    ['getConfirmationText', 'getConfirmationText', 'setPINHash', 'resetState']);
});

test('a control hears at once that its component ended: once, from its own window, of its own session', async () => {
  const win = new FakeWindow();
  const vx = await ArdenaX.connect({ window: win });
  const heard = [];
  vx.addEventListener('disconnect', ({ type, error }) => heard.push([type, error.name, error.code, error.message]));
  win.deliver({ ardenax: 'disconnect', session: 7, message: 'from a frame' }, { source: {} });
  win.deliver({ ardenax: 'disconnect', session: 6, message: 'an earlier session' });
  win.deliver({ ardenax: 'disconnect', session: 7, message: 'Native host has exited.' });
  win.deliver({ ardenax: 'disconnect', session: 7, message: 'again' });
  assert.deepEqual(heard, [['disconnect', 'ArdenaXError', 'disconnected', 'Native host has exited.']]);
});

test("a result's kind is the host's when it sends one, else the text's, and only for the last result", async () => {
  const win = new FakeWindow();
  const vx = await ArdenaX.connect({ window: win });
  const kinds = async (method, besides) => {
    win.besides[method] = besides;
    const result = await vx[method]('x');
    return [vx.kindOf(result), vx.kindOf('ERROR unknown credentials'), vx.kindOf('')];
  };
  // The host's kind against what the texts alone would say.
  assert.deepEqual(await kinds('getVersion', { kind: 'unreachable' }), ['unreachable', 'refused', 'failed']);
  assert.deepEqual(await kinds('getVersion', { result: 'ERROR unknown credentials', kind: 'ok' }), ['ok', 'ok', 'failed']);
  assert.deepEqual(await kinds('getCurrentToken', { result: '', kind: 'ok' }), ['ok', 'refused', 'ok']);
  // An older host sends none, and a kind the library does not know is not taken: the text decides.
  assert.deepEqual(await kinds('getCurrentToken', { result: '' }), ['failed', 'refused', 'failed']);
  assert.deepEqual(await kinds('getVersion', { result: 'OK', kind: 'maybe' }), ['ok', 'refused', 'failed']);
  // A call that rejects leaves the last result's kind as it was.
  await kinds('obtainToken', { result: 'T', kind: 'refused' });
  win.besides.resetState = { error: { code: 'failed', number: 5 } };
  await assert.rejects(vx.resetState(), { code: 'failed' });
  assert.equal(vx.kindOf('T'), 'refused');
});

test('result texts by kind', () => {
  const kinds = {
    ok: ['45C8B4B5BEC36A5569D1501B8351E6AF', 'OK', 'Tem a certeza que pretende votar', 'error 5'],
    refused: ['ERROR unknown credentials', 'ERROR votes are closed', 'ERROR', 'ERROR_ a', 'ERROR_x1'],
    unreachable: ['ERROR_60_SSL peer certificate or SSH remote key was not OK', 'ERROR_503_Service Unavailable',
      'ERROR=01_01'],
    invalid: ['ERROR51', 'ERROR55', 'ERROR setting choices'],
    failed: ['', 'ERROR_obtainToken', 'ERROR_getConfirmationText', 'ERROR56', 'ERROR57'],
  };
  for (const [kind, texts] of Object.entries(kinds)) for (const text of texts) assert.equal(classify(text), kind, text);
});

test('voting origins: secure, listed, port as listed', () => {
  const list = ['https://vote.example', 'http://127.0.0.1:*', 'http://localhost:8080', 'http://plain.example'];
  const allowed = ['https://vote.example', 'http://127.0.0.1:5000', 'http://127.0.0.1', 'http://localhost:8080'];
  const refused = ['http://localhost:8081', 'https://vote.example:8443', 'http://vote.example', 'http://plain.example',
    'https://vote.example/', 'https://vote.example.evil.example', 'http://127.0.0.1:70000', null];
  for (const origin of allowed) assert.equal(originAllowed(origin, list), true, origin);
  for (const origin of refused) assert.equal(originAllowed(origin, list), false, origin);
});
