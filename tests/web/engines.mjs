// The three browser engines from Debian's packages, started alike for the
// browser test and the start-up benchmark; nothing is downloaded. Their
// drivers come from the npm packages pinned in web/.
import { spawn } from 'node:child_process';
import { existsSync, readdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';

// As root, on a machine whose only network is the loopback: without
// --no-first-run and the three flags after it Chromium keeps trying to
// reach Google's hosts. And without the features turned off, every new
// window (each browser context is one) starts a renderer for the address
// bar's own pop-up page, which kept one of two cores busy for half a
// second, just while the page under test loaded. (Each launch gets a copy:
// puppeteer takes --disable-features out of the list it is given.)
export const offFeatures = ['WebUIOmniboxPopup', 'WebUIOmniboxFullPopup', 'WebUIOmniboxAimPopup', 'PreloadTopChromeWebUI'];
const chromiumArgs = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                      '--disable-background-networking', '--disable-component-update', '--disable-sync',
                      `--disable-features=${offFeatures.join(',')}`];

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const freePort = () => new Promise((resolve) => {
  const probe = createServer().listen(0, '127.0.0.1', () => { const { port } = probe.address(); probe.close(() => resolve(port)); });
});

// The npm packages of web/.
export const fromWeb = createRequire(new URL('../../web/package.json', import.meta.url));

// Each engine's launcher: Chromium and Firefox give a puppeteer Browser,
// WebKit a selenium WebDriver on its MiniBrowser (which needs a display:
// run under xvfb-run) with `quit` ending its driver process too.
export const launch = {
  chromium: () => fromWeb('puppeteer-core').launch({ executablePath: '/usr/bin/chromium', args: [...chromiumArgs] }),
  firefox: () => fromWeb('puppeteer-core').launch({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr' }),
  // Now and then (twice in about 150 starts here) the driver takes the
  // request for a session and never starts the browser: it is then
  // stopped, and another started.
  webkit: async () => {
    const { Builder } = fromWeb('selenium-webdriver');
    const binary = readdirSync('/usr/lib', { withFileTypes: true }).filter((d) => d.isDirectory())
      .flatMap((d) => ['webkit2gtk-4.1', 'webkit2gtk-4.0'].map((w) => `/usr/lib/${d.name}/${w}/MiniBrowser`))
      .find(existsSync);
    if (!binary) throw new Error("WebKit's MiniBrowser is missing: apt-get install webkit2gtk-driver");
    for (let starts = 1; ; ++starts) {
      const port = await freePort();
      const driverProcess = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore' });
      const stuck = new Promise((_, fail) => setTimeout(fail, 30000, new Error('WebKit never started')).unref());
      for (let tries = 0; ; ++tries) {
        try {
          const driver = await Promise.race([stuck, new Builder().usingServer(`http://127.0.0.1:${port}`)
            .withCapabilities({ browserName: 'MiniBrowser',
                                'webkitgtk:browserOptions': { binary, args: ['--automation'] } }).build()]);
          const quit = driver.quit.bind(driver);
          driver.quit = () => quit().finally(() => driverProcess.kill());
          return driver;
        } catch (error) {
          if (tries > 50 || error.message === 'WebKit never started') {
            driverProcess.kill();
            if (starts === 3) throw error;
            break;
          }
          await pause(100);
        }
      }
    }
  },
};
