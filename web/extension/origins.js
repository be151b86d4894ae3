// Which page origins may use the control. The host applies the same rule; the
// extension applies it first so that a refused page never starts the host.
// An origin is "scheme://host" or "scheme://host:port"; a pattern may give "*"
// as its port (any port, or none). Only https passes, and plain http on the
// loopback host for development.

const ORIGIN = /^(https?):\/\/(\[::1\]|[a-z0-9-]+(?:\.[a-z0-9-]+)*)(?::([1-9][0-9]{0,4}|\*))?$/;
const LOOPBACK = new Set(['localhost', '127.0.0.1', '[::1]']);

function parse(text, wildcardAllowed) {
  const match = typeof text === 'string' ? ORIGIN.exec(text) : null;
  if (!match) return null;
  const [, scheme, host, port = ''] = match;
  if (port === '*' ? !wildcardAllowed : port !== '' && Number(port) > 65535) return null;
  return { scheme, host, port };
}

/** True when `origin` is secure and matches one of `patterns`. */
export function originAllowed(origin, patterns) {
  const parsed = parse(origin, false);
  if (!parsed || (parsed.scheme !== 'https' && !LOOPBACK.has(parsed.host))) return false;
  return patterns.some((text) => {
    const pattern = parse(text, true);
    return (
      pattern !== null &&
      pattern.scheme === parsed.scheme &&
      pattern.host === parsed.host &&
      (pattern.port === '*' || pattern.port === parsed.port)
    );
  });
}
