// Steps that several walks share: filling the first-run set-up and logging in.
import { follow } from './pages.mjs';

export const kAdministrator = {
  compname: 'Harbour Freight & Sons <Ltd>',
  sysopname: 'Ann "A." O\'Neil <script>window.__injected = 1</script>',
  sysoptel: '+1 555 0100',
  sysopemail: 'ann@example.invalid',
  password: 'Tr1cky&Pass',
};

// Fills the set-up form with `values` (a field missing from `values` is left empty) and
// submits it.
export async function submitSetUp(page, values) {
  const form = page.locator('form', { has: page.locator('input[name="compname"]') });
  for (const name of ['compname', 'sysopname', 'sysoptel', 'sysopemail']) {
    await form.locator(`input[name="${name}"]`).fill(values[name] ?? '');
  }
  await form.locator('input[name="pswd1"]').fill(values.password ?? '');
  await form.locator('input[name="pswd2"]').fill(values.password ?? '');
  return follow(page, () => form.locator('[type="submit"]').first().click());
}

// Types `password` into the login form of the page and submits it.
export async function submitLogin(page, password) {
  const form = page.locator('form', { has: page.locator('input[name="passwd"]') });
  await form.locator('input[name="passwd"]').fill(password);
  return follow(page, () => form.locator('[type="submit"]').first().click());
}
