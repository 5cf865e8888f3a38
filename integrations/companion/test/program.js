// The real program with a virtual caption unit, as the end-to-end tests run them: its own
// settings home, the remote control on a free port, and the program's ready file to wait on.
const { spawn, execFileSync } = require('node:child_process')
const fs = require('node:fs')
const net = require('node:net')
const os = require('node:os')
const path = require('node:path')
const { until } = require('./host')

function freePort() {
	return new Promise((resolve) => {
		const srv = net.createServer().listen(0, '127.0.0.1', () => {
			const { port } = srv.address()
			srv.close(() => resolve(port))
		})
	})
}

class Program {
	async start() {
		this.work = fs.mkdtempSync(path.join(os.tmpdir(), 'tessora-companion-'))
		this.token = `tok-${Math.random().toString(36).slice(2)}`
		this.port = await freePort()
		this.readyFile = path.join(this.work, 'ready')
		this.unitLog = path.join(this.work, 'unit.log')
		this.env = {
			...process.env,
			XDG_CONFIG_HOME: path.join(this.work, 'config'),
			XDG_STATE_HOME: path.join(this.work, 'state'),
			QTWEBENGINE_DISABLE_SANDBOX: '1',
			DBUS_SESSION_BUS_ADDRESS: 'disabled:',
			ASAN_OPTIONS: process.env.ASAN_OPTIONS || 'detect_leaks=0:new_delete_type_mismatch=0',
			TESSORA_READY_FILE: this.readyFile,
		}
		fs.writeFileSync(this.unitLog, '')
		this.unit = spawn(process.env.TESSORA_UNIT_BIN, ['--quiet', '--log', this.unitLog], { stdio: ['ignore', 'pipe', 'ignore'] })
		const device = await new Promise((resolve, reject) => {
			let out = ''
			this.unit.stdout.on('data', (d) => {
				out += d
				if (out.includes('\n')) resolve(out.split('\n')[0].trim())
			})
			this.unit.on('exit', () => reject(new Error('the unit ended before naming its device')))
		})
		const settings = path.join(this.env.XDG_CONFIG_HOME, 'Halvercrest', 'Tessora.conf')
		fs.mkdirSync(path.dirname(settings), { recursive: true })
		fs.writeFileSync(
			settings,
			`[General]\nCommPort=COM1\n[Ports]\nCOM1=${device}\n[Remote]\nPort=${this.port}\nToken=${this.token}\n`,
		)
		// A cue list of three, opened at every start.
		const cues = path.join(this.work, 'show.csv')
		fs.writeFileSync(cues, 'Text,Time\nFirst cue,\nSecond cue,Top Right\nThird cue,\n')
		this.args = ['--cues', cues]
		await this.startApp()
	}

	readyLines() {
		try {
			return fs.readFileSync(this.readyFile, 'utf8')
		} catch {
			return ''
		}
	}

	// Starts the program and waits until it listens and shows its main page.
	async startApp() {
		fs.writeFileSync(this.readyFile, '')
		this.log = fs.openSync(path.join(this.work, 'app.log'), 'a')
		this.app = spawn(process.env.TESSORA_BIN, this.args, { env: this.env, stdio: ['ignore', this.log, this.log] })
		this.app.exited = new Promise((resolve) => this.app.on('exit', resolve))
		await until('the program listening and showing its page', () => {
			const r = this.readyLines()
			return r.includes(` remote listening ${this.port}\n`) && /ready res:\/\/[^/]*\/104\n/.test(r)
		}, 60000)
	}

	async stopApp() {
		if (!this.app || this.app.exitCode !== null) return
		this.app.kill('SIGTERM')
		const timer = setTimeout(() => this.app.kill('SIGKILL'), 5000)
		await this.app.exited
		clearTimeout(timer)
	}

	// The bytes the unit has received so far, as text.
	unitBytes() {
		return fs
			.readFileSync(this.unitLog, 'utf8')
			.split('\n')
			.filter(Boolean)
			.map((l) => String.fromCharCode(parseInt(l.split(' ')[1], 16)))
			.join('')
	}

	// A key pressed in the program's main window (the one 650 pixels wide, beside the cue
	// window), as an operator would.
	key(chord) {
		const xdo = (...args) => execFileSync('xdotool', args, { encoding: 'utf8' })
		const ids = xdo('search', '--onlyvisible', '--pid', String(this.app.pid), '--name', '^Tessora$').split('\n').filter(Boolean)
		const main = ids.find((id) => /Geometry: 650x/.test(xdo('getwindowgeometry', id)))
		if (!main) throw new Error(`no main window among ${ids}`)
		xdo('windowfocus', '--sync', main)
		return spawn('xdotool', ['key', '--clearmodifiers', chord], { stdio: 'ignore' })
	}

	async stop() {
		await this.stopApp()
		if (this.unit) this.unit.kill()
		fs.rmSync(this.work, { recursive: true, force: true })
	}
}

module.exports = { Program }
