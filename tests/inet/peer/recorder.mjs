// A loopback HTTP server for the peer tests. It serves a form page at "/form" and records the
// raw header block and body of every POST, as the library's transports would hand them over.
import http from 'node:http';

export const FORM_PAGE = `<!doctype html>
<meta charset="utf-8">
<form method="post" action="/submit" enctype="multipart/form-data">
  <input name="title" value="">
  <textarea name="notes"></textarea>
  <input type="file" name="upload">
  <button id="send" type="submit">Send</button>
</form>`;

// Starts the server on 127.0.0.1 on a free port. Resolves to { port, nextPost, close }.
export function startRecorder() {
  const posts = [];
  const waiters = [];
  let taken = 0;
  const server = http.createServer((req, res) => {
    if (req.method === 'GET') {
      res.writeHead(200, { 'Content-Type': 'text/html' });
      res.end(FORM_PAGE);
      return;
    }
    const chunks = [];
    req.on('data', (chunk) => chunks.push(chunk));
    req.on('end', () => {
      // The header block as a transport hands it on: lines ending in CR LF, then a blank line.
      let headers = `HTTP/${req.httpVersion} 200 OK\r\n`;
      for (let i = 0; i < req.rawHeaders.length; i += 2) {
        headers += `${req.rawHeaders[i]}: ${req.rawHeaders[i + 1]}\r\n`;
      }
      posts.push({ headers: headers + '\r\n', body: Buffer.concat(chunks) });
      res.writeHead(200, { 'Content-Type': 'text/plain' });
      res.end('recorded');
      const waiter = waiters.shift();
      if (waiter) waiter(posts[taken++]);
    });
  });
  // The next recorded POST that no one has taken yet.
  const nextPost = () =>
    new Promise((resolve) => (posts.length > taken ? resolve(posts[taken++]) : waiters.push(resolve)));
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      resolve({
        port: server.address().port,
        nextPost,
        close: () => new Promise((done) => server.close(done)),
      });
    });
  });
}
