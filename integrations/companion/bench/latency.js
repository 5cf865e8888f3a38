// Latencies of the module against the real program, run under an X server:
//   TESSORA_BIN=... TESSORA_UNIT_BIN=... xvfb-run -a node bench/latency.js [rounds]
// 1. a Send by key in the window -> the module's on_air_origin variable updated;
// 2. a module action -> the first byte at the unit, against the same call made with curl.
const fs = require('node:fs')
const { spawn } = require('node:child_process')
const { makeInstance, runAction, lastStatus, until } = require('../test/host')
const { Program } = require('../test/program')

const rounds = Number(process.argv[2]) || 20

function stats(name, ms) {
	const s = [...ms].sort((a, b) => a - b)
	const at = (q) => s[Math.min(s.length - 1, Math.floor(q * s.length))].toFixed(1)
	console.log(`${name}: median ${at(0.5)} ms, p90 ${at(0.9)} ms, min ${s[0].toFixed(1)} ms, max ${s[s.length - 1].toFixed(1)} ms (n=${s.length})`)
}

// Resolves at the next write to the unit's log (inotify), with the time it was seen.
function nextByte(program) {
	return new Promise((resolve) => {
		const w = fs.watch(program.unitLog, () => {
			const t = performance.now()
			w.close()
			resolve(t)
		})
	})
}

async function main() {
	const program = new Program()
	await program.start()
	const inst = makeInstance()
	let onAirCount = 0
	let lastAt = 0
	let received = 0
	let handled = 0
	const onMessage = inst.onMessage.bind(inst)
	inst.onMessage = (msg) => {
		const t = performance.now()
		received = Date.now()
		onMessage(msg)
		if (msg.type === 'on_air') {
			handled = performance.now() - t
			onAirCount++
			lastAt = Date.parse(msg.at)
		}
	}
	// The program's own account of when it ran the Send (epoch ms, "done 1031" for Send).
	const sendRan = () => Number(program.readyLines().trim().split('\n').filter((l) => / done 1031\b/.test(l)).pop().split(' ')[0])
	await inst.init({ host: '127.0.0.1', port: program.port }, true, { token: program.token })
	await until('ok', () => lastStatus(inst).status === 'ok')
	await runAction(inst, 'set_screen', { screen: 1, text: 'Bench', date: -1, time: -1 })

	const keyToVar = []
	const lineToVar = []
	const ranToReceived = []
	const keyToRan = []
	const inModule = []
	for (let i = 0; i < rounds; i++) {
		const before = onAirCount
		const t0 = performance.now()
		const epoch0 = Date.now()
		const x = program.key('ctrl+Return')
		await until('a Send by key', () => onAirCount > before && inst.getVariableValue('on_air_origin') === 'key')
		keyToVar.push(performance.now() - t0)
		lineToVar.push(received - lastAt)
		ranToReceived.push(received - sendRan())
		keyToRan.push(sendRan() - epoch0)
		inModule.push(handled)
		await new Promise((r) => (x.exitCode !== null ? r() : x.on('exit', r)))
		await runAction(inst, 'clear')
		await until('cleared', () => inst.getVariableValue('on_air_cleared') === true)
	}

	const action = []
	const curl = []
	const url = `http://127.0.0.1:${program.port}/api/v1/send`
	for (let i = 0; i < rounds; i++) {
		let seen = nextByte(program)
		let t0 = performance.now()
		runAction(inst, 'send', { screen: 1 })
		action.push((await seen) - t0)
		await until('on air', () => inst.getVariableValue('on_air_cleared') === false)
		await runAction(inst, 'clear')
		await until('cleared', () => inst.getVariableValue('on_air_cleared') === true)

		seen = nextByte(program)
		t0 = performance.now()
		const c = spawn('curl', ['-sS', '-o', '/dev/null', '-X', 'POST', '-H', `Authorization: Bearer ${program.token}`,
			'-H', 'Content-Type: application/json', '--data-binary', '{"screen": 1}', url])
		curl.push((await seen) - t0)
		await new Promise((r) => (c.exitCode !== null ? r() : c.on('exit', r)))
		await until('on air', () => inst.getVariableValue('on_air_cleared') === false)
		await runAction(inst, 'clear')
		await until('cleared', () => inst.getVariableValue('on_air_cleared') === true)
	}

	stats('key (xdotool started) -> on_air variable', keyToVar)
	stats("key (xdotool started) -> program ran the Send ('done' line)", keyToRan)
	stats("program ran the Send ('done' line) -> message at the module", ranToReceived)
	stats("program's on_air time stamp -> message at the module", lineToVar)
	stats('message at the module -> variables and feedbacks updated', inModule)
	stats('module action -> first byte at the unit', action)
	stats('curl started -> first byte at the unit', curl)
	await inst.destroy()
	await program.stop()
}

main().catch((err) => {
	console.error(err)
	process.exit(1)
})
