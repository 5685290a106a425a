// A throw-away installation of the server: quarsetup lays out the programs and the site in a
// temporary folder, and a lighttpd of our own serves it on a free loopback port. The caller
// owns the returned object and must call close(), which stops lighttpd by its PID and removes
// the folder.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

// How long lighttpd may take to answer its first request.
const kStartupMillis = 8000;
// How long lighttpd may take to exit after SIGTERM before it is killed.
const kStopMillis = 3000;
// Attempts at a free port: another process may take the probed port before lighttpd binds it.
const kPortAttempts = 3;

function requiredEnv(name) {
  const value = process.env[name];
  if (!value) {
    throw new Error(`${name} is not set (the ctest registration passes it)`);
  }
  return value;
}

// The built programs and source files the installation is made from, as ctest passes them.
export function installationInputs() {
  return {
    programs: {
      quarnbxadmin: requiredEnv('QUARNBXADMIN'),
      quarnbx: requiredEnv('QUARNBX'),
      quarnbxpic: requiredEnv('QUARNBXPIC'),
    },
    quarsetup: requiredEnv('QUARSETUP'),
    siteSource: requiredEnv('QUAR_SITE_SOURCE'),
    lighttpdConf: requiredEnv('QUAR_LIGHTTPD_CONF'),
  };
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.unref();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// One GET on loopback; resolves with the status, or rejects on a connection error.
function probe(port) {
  return new Promise((resolve, reject) => {
    const request = http.get({ host: '127.0.0.1', port, path: '/', timeout: 1000 }, (res) => {
      res.resume();
      resolve(res.statusCode);
    });
    request.on('timeout', () => request.destroy(new Error('timeout')));
    request.on('error', reject);
  });
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export class Installation {
  constructor() {
    this.root = null;
    this.server = null;
    this.serverLog = '';
    this.port = 0;
  }

  get site() { return path.join(this.root, 'site'); }
  get dataDirectory() { return path.join(this.site, 'data'); }
  get eventLogFile() { return path.join(this.dataDirectory, 'quar_nbx_log.txt'); }
  get baseUrl() { return `http://127.0.0.1:${this.port}`; }
  get adminUrl() { return `${this.baseUrl}/cgi-bin/quarnbxadmin`; }

  // Installs fresh programs and site files, then starts lighttpd and waits until it answers.
  async open(inputs) {
    this.root = fs.mkdtempSync(path.join(os.tmpdir(), 'quar-browser-'));
    // quarsetup takes the programs from one folder; the build keeps them in three.
    const bin = path.join(this.root, 'bin');
    fs.mkdirSync(bin);
    for (const [name, file] of Object.entries(inputs.programs)) {
      fs.symlinkSync(path.resolve(file), path.join(bin, name));
    }
    execFileSync(inputs.quarsetup, [
      '--data-dir', this.dataDirectory, '--cgi-dir', path.join(this.site, 'cgi-bin'),
      '--registry', path.join(this.site, 'machine.reg'), '--bin-dir', bin,
      '--site-dir', inputs.siteSource,
    ], { stdio: ['ignore', 'ignore', 'inherit'] });
    fs.mkdirSync(path.join(this.site, 'tmp'));

    let lastError = null;
    for (let attempt = 0; attempt < kPortAttempts; ++attempt) {
      this.port = await freePort();
      const conf = path.join(this.site, 'lighttpd.conf');
      fs.writeFileSync(conf, execFileSync('sh', [inputs.lighttpdConf, this.site, String(this.port)]));
      try {
        await this.startServer(conf);
        return this;
      } catch (error) {
        lastError = error;
        await this.stopServer();
      }
    }
    throw lastError;
  }

  async startServer(conf) {
    const server = spawn('lighttpd', ['-D', '-f', conf], { stdio: ['ignore', 'pipe', 'pipe'] });
    this.server = server;
    let exited = false;
    server.on('exit', () => { exited = true; });
    server.stdout.on('data', (chunk) => { this.serverLog += chunk; });
    server.stderr.on('data', (chunk) => { this.serverLog += chunk; });
    await new Promise((resolve, reject) => {
      server.once('spawn', resolve);
      server.once('error', reject);
    });
    const deadline = Date.now() + kStartupMillis;
    for (;;) {
      if (exited) {
        throw new Error(`lighttpd exited at start-up: ${this.serverLog.trim()}`);
      }
      try {
        await probe(this.port);
        return;
      } catch (error) {
        if (Date.now() > deadline) {
          throw new Error(`lighttpd does not answer on port ${this.port}: ${error.message}`);
        }
        await sleep(50);
      }
    }
  }

  async stopServer() {
    const server = this.server;
    this.server = null;
    if (!server || server.exitCode !== null || server.signalCode !== null) {
      return;
    }
    const exited = new Promise((resolve) => server.once('exit', resolve));
    process.kill(server.pid, 'SIGTERM');
    const stopped = await Promise.race([exited.then(() => true), sleep(kStopMillis).then(() => false)]);
    if (!stopped) {
      process.kill(server.pid, 'SIGKILL');
      await exited;
    }
  }

  // The web server's error log, which also holds what the CGI programs wrote to stderr.
  errorLog() {
    try {
      return fs.readFileSync(path.join(this.site, 'lighttpd-error.log'), 'latin1');
    } catch {
      return '';
    }
  }

  async close() {
    await this.stopServer();
    if (this.root) {
      fs.rmSync(this.root, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
      this.root = null;
    }
  }
}
