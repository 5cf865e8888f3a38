// The connection's statuses against a small stand-in server: what the program answers decides
// what Companion shows, and a closed channel is opened again with the whole state.
const test = require('node:test')
const assert = require('node:assert/strict')
const http = require('node:http')
const { WebSocketServer } = require('ws')
const { makeInstance, lastStatus, until } = require('./host')

const STATE = { type: 'state', screen: 2, connected: true, clock: 'synchronised', on_air: { cleared: true, origin: 'program' } }
const CUES = { count: 2, next: 1, on_air: 0, next_text: 'First', on_air_text: '' }

// serve(onUpgrade): onUpgrade(req, socket, head, wss) handles each upgrade; GET cues answers CUES.
async function serve(onUpgrade) {
	const server = http.createServer((req, res) => {
		res.writeHead(req.url === '/api/v1/cues' ? 200 : 404, { 'Content-Type': 'application/json' })
		res.end(JSON.stringify(req.url === '/api/v1/cues' ? CUES : { error: 'no such call' }))
	})
	const wss = new WebSocketServer({ noServer: true })
	server.on('upgrade', (req, socket, head) => onUpgrade(req, socket, head, wss))
	await new Promise((r) => server.listen(0, '127.0.0.1', r))
	server.wss = wss
	server.stopAll = () => {
		for (const c of wss.clients) c.terminate()
		server.closeAllConnections()
		return new Promise((r) => server.close(r))
	}
	return server
}

const refuse = (code, error) => (req, socket) =>
	socket.end(`HTTP/1.1 ${code} X\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n${JSON.stringify({ error })}`)

// The module connected to PORT; it is destroyed when test T ends, passed or failed.
async function connect(t, port, token = 'tok') {
	const inst = makeInstance()
	t.after(() => inst.destroy())
	await inst.init({ host: '127.0.0.1', port }, true, { token })
	return inst
}

async function serveFor(t, onUpgrade) {
	const server = await serve(onUpgrade)
	t.after(() => server.stopAll())
	return server
}

test('statuses from what the program answers', { timeout: 30000 }, async (t) => {
	await t.test('a refused host is bad config with the reason', async (t) => {
		const server = await serveFor(t, refuse(421, 'host not accepted'))
		const inst = await connect(t, server.address().port)
		await until('bad config', () => lastStatus(inst).status === 'bad_config')
		assert.match(lastStatus(inst).message, /421.*Hosts/)
	})
	await t.test('no /api/v1 is an unknown API version', async (t) => {
		const server = await serveFor(t, refuse(404, 'no such call'))
		const inst = await connect(t, server.address().port)
		await until('unknown version', () => lastStatus(inst).status === 'unknown_error')
		assert.match(lastStatus(inst).message, /API version/)
	})
	await t.test('a first message other than the state is an unknown API version', async (t) => {
		const server = await serveFor(t, (req, socket, head, wss) =>
			wss.handleUpgrade(req, socket, head, (ws) => ws.send(JSON.stringify({ type: 'hello', version: 2 }))),
		)
		const inst = await connect(t, server.address().port)
		await until('unknown version', () => lastStatus(inst).status === 'unknown_error')
		assert.equal(inst.getVariableValue('line_state'), 'unknown')
	})
	await t.test('nobody listening is a connection failure with the reason', async (t) => {
		const server = await serve(() => {})
		const port = server.address().port
		await server.stopAll()
		const inst = await connect(t, port)
		await until('connection failure', () => lastStatus(inst).status === 'connection_failure')
		assert.equal(lastStatus(inst).message, 'ECONNREFUSED')
	})
})

test('a closed channel is opened again and the whole state read again', { timeout: 30000 }, async (t) => {
	let upgrades = 0
	const server = await serveFor(t, (req, socket, head, wss) => {
		upgrades++
		assert.equal(req.headers.authorization, 'Bearer tok')
		wss.handleUpgrade(req, socket, head, (ws) => ws.send(JSON.stringify(STATE)))
	})
	const inst = await connect(t, server.address().port)
	await until('ok', () => lastStatus(inst).status === 'ok')
	assert.deepEqual([inst.getVariableValue('screen'), inst.getVariableValue('next_cue_text')], [2, 'First'])
	for (const c of server.wss.clients) c.terminate()
	await until('the channel lost', () => lastStatus(inst).status === 'connection_failure')
	assert.equal(inst.getVariableValue('next_cue_text'), '', 'nothing stale is shown')
	await until('ok again', () => lastStatus(inst).status === 'ok' && upgrades === 2)
	assert.equal(inst.getVariableValue('next_cue_text'), 'First')
})
