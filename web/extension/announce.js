// Runs on every web page and only marks it as seen by the extension, so that
// the page library can tell a site that is not a voting site (marked, but
// offered no control) from a browser without the extension (not marked).
document.documentElement.setAttribute('data-ardenax-extension', '');
