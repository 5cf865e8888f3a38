// The program's remote control: calls over HTTP, and the push channel kept open, opened again
// with a growing wait whenever it closes (the program restarted, say).
const http = require('node:http')
const WebSocket = require('ws')

const FIRST_RETRY_MS = 250
const LAST_RETRY_MS = 5000

// What a refused call or upgrade means for the connection's status.
function describeRefusal(code, reason) {
	const why = reason ? `: ${reason}` : ''
	if (code === 401) return { status: 'bad_config', message: `Wrong or missing token (401)${why}` }
	if (code === 421) return { status: 'bad_config', message: `Host not accepted (421): add it to Hosts${why}` }
	if (code === 403) return { status: 'bad_config', message: `Origin refused (403)${why}` }
	if (code === 404) return { status: 'unknown_error', message: 'Unknown API version: the program has no /api/v1' }
	return { status: 'connection_failure', message: `HTTP ${code}${why}` }
}

class TessoraClient {
	// handlers: onMessage(msg), onStatus(status, message), onClose()
	constructor(config, handlers) {
		this.host = config.host || '127.0.0.1'
		this.port = Number(config.port) || 8420
		this.token = config.token || ''
		this.handlers = handlers
		this.agent = new http.Agent({ keepAlive: true, maxSockets: 4 })
		this.retryMs = FIRST_RETRY_MS
		this.stopped = false
		this.ws = null
		this.timer = null
	}

	get base() {
		const host = this.host.includes(':') ? `[${this.host}]` : this.host
		return `${host}:${this.port}`
	}

	// A call: resolves to { code, body } with the body parsed; rejects on a network error.
	request(method, path, body) {
		const data = body === undefined ? '' : JSON.stringify(body)
		return new Promise((resolve, reject) => {
			const req = http.request(
				{
					host: this.host,
					port: this.port,
					method,
					path: `/api/v1/${path}`,
					agent: this.agent,
					timeout: 5000,
					headers: {
						Authorization: `Bearer ${this.token}`,
						// Every PUT and POST must say so, even with no body.
						'Content-Type': 'application/json',
						'Content-Length': Buffer.byteLength(data),
					},
				},
				(res) => {
					const chunks = []
					res.on('data', (c) => chunks.push(c))
					res.on('end', () => {
						let parsed = null
						try {
							parsed = JSON.parse(Buffer.concat(chunks).toString('utf8'))
						} catch {
							parsed = null
						}
						resolve({ code: res.statusCode, body: parsed })
					})
				},
			)
			req.on('timeout', () => req.destroy(new Error('no answer within 5 s')))
			req.on('error', reject)
			req.end(data)
		})
	}

	connect() {
		this.stopped = false
		clearTimeout(this.timer)
		const ws = new WebSocket(`ws://${this.base}/api/v1/events`, {
			headers: { Authorization: `Bearer ${this.token}` },
			handshakeTimeout: 5000,
		})
		this.ws = ws
		let refused = false
		ws.on('unexpected-response', (req, res) => {
			refused = true
			const chunks = []
			res.on('data', (c) => chunks.push(c))
			res.on('end', () => {
				let reason = ''
				try {
					reason = JSON.parse(Buffer.concat(chunks).toString('utf8')).error || ''
				} catch {
					reason = ''
				}
				const r = describeRefusal(res.statusCode, reason)
				this.handlers.onStatus(r.status, r.message)
				ws.terminate()
			})
		})
		ws.on('open', () => this.handlers.onStatus('connecting', 'Waiting for the state'))
		ws.on('message', (data) => {
			let msg
			try {
				msg = JSON.parse(data.toString('utf8'))
			} catch {
				return
			}
			if (msg.type === 'state') this.retryMs = FIRST_RETRY_MS
			this.handlers.onMessage(msg)
		})
		ws.on('error', (err) => {
			if (!refused) this.handlers.onStatus('connection_failure', err.code || err.message)
		})
		ws.on('close', () => {
			if (this.ws !== ws) return
			this.ws = null
			this.handlers.onClose()
			if (this.stopped) return
			this.timer = setTimeout(() => this.connect(), this.retryMs)
			this.retryMs = Math.min(this.retryMs * 2, LAST_RETRY_MS)
		})
	}

	close() {
		this.stopped = true
		clearTimeout(this.timer)
		if (this.ws) {
			const ws = this.ws
			this.ws = null
			ws.terminate()
		}
		this.agent.destroy()
	}
}

module.exports = { TessoraClient, describeRefusal, FIRST_RETRY_MS, LAST_RETRY_MS }
