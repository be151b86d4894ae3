// The content script of the voting pages: carries the page library's calls to
// the service worker and back, one call at a time, and shows the host's
// message boxes as modal alerts. It talks with the page through
// window.postMessage, and only with its own window.
(() => {
  // Lets the page library tell "no extension" from "extension, no host" at once.
  document.documentElement.setAttribute('data-ardenax', '');

  const NO_HOST = {
    code: 'not-installed',
    missing: 'host',
    message: 'the ArdenaX program is not installed on this computer',
  };
  const ACCESS_DENIED = -2147024891; // the host's refusal of an origin
  let port = null;
  let session = 0;
  let accepted = false;
  const waiting = []; // page ids of connect requests not answered yet
  const queue = []; // calls not sent yet
  let inFlight = null; // the call the host is working on
  let nextHostId = 1;

  function toPage(message) {
    window.postMessage({ ardenax: 'reply', ...message }, location.origin);
  }

  // Ends the session: every connect and call still open fails with `error`,
  // and a page that had its control hears at once that it is gone.
  function close(error) {
    port?.disconnect();
    port = null;
    if (accepted) window.postMessage({ ardenax: 'disconnect', session, message: error.message }, location.origin);
    accepted = false;
    for (const id of waiting.splice(0)) toPage({ id, error });
    for (const call of [inFlight, ...queue.splice(0)]) {
      if (call) toPage({ id: call.id, error: { code: 'disconnected', message: error.message } });
    }
    inFlight = null;
  }

  // What a host sends beside a result: the accepted vote's receipt (with
  // getConfirmationText's), and the result's kind (from hosts that send one).
  function besideResult(message) {
    const texts = ['receipt', 'kind'].filter((name) => typeof message[name] === 'string');
    return Object.fromEntries(texts.map((name) => [name, message[name]]));
  }

  function pump() {
    if (inFlight !== null || queue.length === 0) return;
    inFlight = queue.shift();
    inFlight.hostId = nextHostId++;
    port.postMessage({ id: inFlight.hostId, method: inFlight.method, args: inFlight.args });
  }

  function fromHost(message) {
    if (message.accepted === true && !accepted) {
      accepted = true;
      for (const id of waiting.splice(0)) toPage({ id, connected: session });
      return;
    }
    if (typeof message.hostGone === 'string') {
      close(accepted ? { code: 'disconnected', message: message.hostGone } : NO_HOST);
      return;
    }
    if (!accepted && message.id === null && message.error) {
      // The host refused this origin, or could not start.
      const { number, description } = message.error;
      close(
        number === ACCESS_DENIED
          ? { code: 'refused', message: description }
          : { code: 'failed', ...message.error },
      );
      return;
    }
    if (inFlight === null || message.id !== inFlight.hostId) return;
    if (message.messageBox) {
      // Modal, as the control's boxes are: the call waits until it is closed.
      window.alert(message.messageBox.text);
      port?.postMessage({ id: message.id, messageBoxClosed: true });
      return;
    }
    if ('result' in message || 'error' in message) {
      const call = inFlight;
      inFlight = null;
      if ('result' in message) {
        toPage({ id: call.id, result: message.result, ...besideResult(message) });
      } else {
        toPage({ id: call.id, error: { code: 'failed', ...message.error } });
      }
      pump();
    }
  }

  function open() {
    session += 1;
    const current = chrome.runtime.connect({ name: 'ardenax' });
    port = current;
    current.onMessage.addListener((message) => {
      if (port === current) fromHost(message);
    });
    current.onDisconnect.addListener(() => {
      if (port !== current) return;
      port = null; // already gone: nothing to disconnect
      const ended = { code: 'disconnected', message: 'The ArdenaX component ended' };
      close(accepted ? ended : NO_HOST);
    });
  }

  window.addEventListener('message', (event) => {
    if (event.source !== window || event.origin !== location.origin) return;
    const data = event.data;
    if (data === null || typeof data !== 'object') return;
    if (data.ardenax === 'connect') {
      if (accepted) {
        toPage({ id: data.id, connected: session });
        return;
      }
      waiting.push(data.id);
      if (port === null) open();
    } else if (data.ardenax === 'request') {
      if (!accepted || data.session !== session) {
        toPage({
          id: data.id,
          error: { code: 'disconnected', message: 'The connection to ArdenaX has ended' },
        });
        return;
      }
      queue.push({ id: data.id, method: String(data.method), args: data.args });
      pump();
    }
  });
})();
