// The module under a stand-in for Companion's host, against the real program and a virtual
// caption unit. Needs TESSORA_BIN, TESSORA_UNIT_BIN and a display (test.sh gives all three).
const test = require('node:test')
const assert = require('node:assert/strict')
const { makeInstance, runAction, feedback, lastStatus, until } = require('./host')
const { Program } = require('./program')

const live = process.env.TESSORA_BIN && process.env.TESSORA_UNIT_BIN
const skip = live ? false : 'TESSORA_BIN and TESSORA_UNIT_BIN are not set'

test('the module against the real program', { skip, timeout: 300000 }, async (t) => {
	const program = new Program()
	await program.start()
	t.after(() => program.stop())
	const inst = makeInstance()
	t.after(() => inst.destroy())
	const v = (id) => inst.getVariableValue(id)
	await inst.init({ host: '127.0.0.1', port: program.port }, true, { token: program.token })
	await until('the connection ok', () => lastStatus(inst).status === 'ok')
	assert.equal(v('line_state'), 'live')
	assert.equal(v('on_air_cleared'), true)

	await t.test('an action puts its bytes on the unit, and the tallies follow', async () => {
		await runAction(inst, 'set_screen', { screen: 2, text: 'Good evening\\nwith Sam', date: -1, time: -1 })
		await runAction(inst, 'send', { screen: 2 })
		await until('the text at the unit', () => program.unitBytes().includes('Good evening'))
		await until('screen 2 on air', () => v('on_air_screen') === 2)
		assert.equal(v('on_air_text'), 'Good evening\nwith Sam')
		assert.equal(v('on_air_origin'), 'remote')
		assert.equal(v('screen'), 2)
		assert.equal(feedback(inst, 'screen_on_air', { screen: 2 }), true)
		assert.equal(feedback(inst, 'cleared'), false)
		await runAction(inst, 'clear')
		await until('cleared', () => v('on_air_cleared') === true)
		assert.equal(feedback(inst, 'screen_on_air', { screen: 2 }), false)
		assert.equal(feedback(inst, 'cleared'), true)
	})

	await t.test('a Send by key in the window reaches the variables and feedbacks', async () => {
		await runAction(inst, 'select', { screen: 3 })
		await until('screen 3 shown', () => v('screen') === 3)
		program.key('ctrl+Return')
		await until('a Send by key on air', () => v('on_air_origin') === 'key')
		assert.equal(v('on_air_screen'), 3)
		assert.equal(feedback(inst, 'screen_on_air', { screen: 3 }), true)
	})

	await t.test('a wrong token is bad config', async () => {
		const wrong = makeInstance()
		t.after(() => wrong.destroy())
		await wrong.init({ host: '127.0.0.1', port: program.port }, true, { token: 'wrong' })
		await until('bad config', () => lastStatus(wrong).status === 'bad_config')
		assert.match(lastStatus(wrong).message, /401/)
	})

	await t.test('after the program restarts the module has the whole state again', async () => {
		await program.stopApp()
		await until('the connection lost', () => lastStatus(inst).status === 'connection_failure')
		assert.equal(v('line_state'), 'unknown')
		assert.equal(feedback(inst, 'cleared'), false)
		await program.startApp()
		await until('the connection ok again', () => lastStatus(inst).status === 'ok')
		assert.equal(v('screen'), 1)
		assert.equal(v('on_air_origin'), 'program')
		assert.notEqual(v('line_state'), 'unknown')
		await runAction(inst, 'send', { screen: 4 })
		await until('screen 4 on air', () => v('on_air_screen') === 4)
	})
})
