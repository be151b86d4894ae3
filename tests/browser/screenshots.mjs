// Makes docs/screenshots/receipt-*.png and board-*.png: the voting page's
// receipt step and the board page with that receipt found, 1280 and 390 px
// wide. Not a test: run it by hand after changing how those pages look,
//   cmake --build --preset default && node tests/browser/screenshots.mjs
import { join, resolve } from 'node:path';
import { logIn, serve } from './support.mjs';

const out = resolve(import.meta.dirname, '../../docs/screenshots');
const widths = { 1280: 800, 390: 844 };
const cleanups = [];
const t = { after: (cleanup) => cleanups.push(cleanup) };

async function shoot(page, name) {
  // The scrollbar a long page gets would take a strip of the narrow picture.
  await page.addStyleTag({ content: 'html { scrollbar-width: none; }' });
  for (const [width, height] of Object.entries(widths)) {
    await page.setViewportSize({ width: Number(width), height });
    await page.screenshot({ path: join(out, `${name}-${width}.png`), fullPage: true });
  }
}

try {
  const { info, page } = await serve(t);
  const { cards } = await info.fetchJson('/election.json');
  await logIn(page, info.voters[0]);
  // Each slot a different candidate, the last slot of a card left blank.
  for (const [c, card] of cards.entries()) {
    for (let s = 0; s < card.slots; s++) {
      const blank = s > 0 && s === card.slots - 1;
      await page.locator(`#card-${c}-slot-${s}`).selectOption(blank ? '' : card.candidates[s]);
    }
  }
  await page.getByLabel('PIN').fill('4321');
  await page.getByRole('button', { name: 'Votar' }).click();
  await page.getByRole('button', { name: 'Confirmar e enviar' }).click();
  await page.getByRole('heading', { name: 'Voto recebido' }).waitFor();
  // No focus ring on the heading in the picture.
  await page.evaluate(() => document.activeElement.blur());
  await shoot(page, 'receipt');

  const receipt = await page.locator('#receipt').textContent();
  await page.goto(`${info.Page}board/?receipt=${receipt}`);
  await page.locator('#result.included').waitFor();
  await page.evaluate(() => {
    document.getElementById('result-details').open = true;
    document.activeElement.blur();
  });
  await shoot(page, 'board');
  console.log(`screenshots: written to ${out}`);
} finally {
  for (const cleanup of cleanups.reverse()) await cleanup();
}
