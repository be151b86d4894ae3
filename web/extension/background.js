// The service worker: one native host per voting page. The page's origin is
// taken from what the browser says about the sender, never from the page.
import { nativeHostName, votingOrigins } from './config.js';
import { originAllowed } from './origins.js';

const ACCESS_DENIED = -2147024891; // 0x80070005

function senderOrigin(sender) {
  if (typeof sender.origin === 'string') return sender.origin;
  try {
    return new URL(sender.url).origin;
  } catch {
    return 'null';
  }
}

// What a page may send on to its host: calls and closed message boxes only.
// The opening {"origin"} is the worker's alone.
function isForHost(message) {
  return (
    message !== null &&
    typeof message === 'object' &&
    !('origin' in message) &&
    ('method' in message || 'messageBoxClosed' in message)
  );
}

chrome.runtime.onConnect.addListener((page) => {
  const { sender } = page;
  const origin = senderOrigin(sender);
  const topFrame = sender.tab !== undefined && sender.frameId === 0;
  if (sender.id !== chrome.runtime.id || !topFrame || !originAllowed(origin, votingOrigins)) {
    page.postMessage({
      id: null,
      error: {
        number: ACCESS_DENIED,
        description: `The origin ${origin} may not use ArdenaX`,
        source: 'ArdenaX extension',
      },
    });
    page.disconnect();
    return;
  }

  let pageGone = false;
  const host = chrome.runtime.connectNative(nativeHostName);
  host.onMessage.addListener((message) => {
    if (!pageGone) page.postMessage(message);
  });
  host.onDisconnect.addListener(() => {
    if (pageGone) return;
    const why = chrome.runtime.lastError?.message ?? 'The ArdenaX component ended';
    page.postMessage({ hostGone: why });
    page.disconnect();
  });
  page.onMessage.addListener((message) => {
    if (isForHost(message)) host.postMessage(message);
  });
  // The page went away (closed, reloaded, navigated): its control goes too.
  page.onDisconnect.addListener(() => {
    pageGone = true;
    host.disconnect();
  });
  host.postMessage({ origin });
});
