const test = require('node:test')
const assert = require('node:assert/strict')
const { emptyState, applyMessage, applyCues, variableValues, checks } = require('../src/state')

const STATE = {
	type: 'state',
	screen: 1,
	connected: true,
	clock: 'not synchronised',
	on_air: { cleared: true, cue: 0, date: 0, origin: 'program', screen: 0, text: '', time: 0 },
}
const run = (...msgs) => msgs.reduce(applyMessage, emptyState())

test('a Send then a Clear: the on-air variables and tallies follow', () => {
	let s = run(STATE, { type: 'on_air', on_air: { cleared: false, screen: 2, text: 'Good evening', origin: 'key' } })
	assert.deepEqual(
		[variableValues(s).on_air_screen, variableValues(s).on_air_text, variableValues(s).on_air_origin],
		[2, 'Good evening', 'key'],
	)
	assert.equal(checks.screen_on_air(s, { screen: 2 }), true)
	assert.equal(checks.screen_on_air(s, { screen: '2' }), true, 'options may come as text')
	assert.equal(checks.screen_on_air(s, { screen: 1 }), false)
	assert.equal(checks.cleared(s), false)
	// A Clear carries only `cleared` and `origin`.
	s = applyMessage(s, { type: 'cleared', on_air: { cleared: true, origin: 'remote' } })
	assert.equal(checks.screen_on_air(s, { screen: 2 }), false)
	assert.equal(checks.cleared(s), true)
	assert.deepEqual(
		[variableValues(s).on_air_screen, variableValues(s).on_air_text, variableValues(s).on_air_origin],
		[0, '', 'remote'],
	)
})

test('the line lost and back, with its reason', () => {
	let s = run(STATE, { type: 'line', state: 'lost', connected: false, reason: 'device gone' })
	assert.equal(checks.line_lost(s), true)
	assert.deepEqual([variableValues(s).line_state, variableValues(s).line_reason], ['lost', 'device gone'])
	s = applyMessage(s, { type: 'line', state: 'back', connected: true })
	assert.equal(checks.line_lost(s), false)
	assert.deepEqual([variableValues(s).line_state, variableValues(s).line_reason], ['back', ''])
	assert.equal(checks.line_lost(run({ ...STATE, connected: false })), true, 'lost already at connect')
})

test('the clock: only "not synchronised" lights the feedback', () => {
	assert.equal(checks.clock_not_synchronised(run(STATE)), true)
	const s = run(STATE, { type: 'clock', clock: 'synchronised' })
	assert.equal(checks.clock_not_synchronised(s), false)
	assert.equal(variableValues(s).clock, 'synchronised')
	assert.equal(checks.clock_not_synchronised(run({ ...STATE, clock: 'unknown' })), false)
})

test('cues from the list read at connect and from cue messages', () => {
	let s = applyCues(run(STATE), { count: 3, next: 1, on_air: 0, next_text: 'One', on_air_text: '', rows: [] })
	assert.equal(checks.cue_next(s, { cue: 1 }), true)
	assert.equal(checks.cue_on_air(s, { cue: 1 }), false)
	s = applyMessage(s, { type: 'cue', count: 3, next: 2, on_air: 1, next_text: 'Two', on_air_text: 'One' })
	assert.equal(checks.cue_next(s, { cue: 2 }), true)
	assert.equal(checks.cue_on_air(s, { cue: 1 }), true)
	const v = variableValues(s)
	assert.deepEqual([v.next_cue, v.next_cue_text, v.on_air_cue, v.on_air_cue_text], [2, 'Two', 1, 'One'])
	// No list: cue 0 is "none", never a match.
	assert.equal(checks.cue_next(run(STATE), { cue: 0 }), false)
})

test('before the state arrives nothing is lit and the line is unknown', () => {
	const s = emptyState()
	for (const [id, check] of Object.entries(checks)) assert.equal(check(s, { screen: 1, cue: 1 }), false, id)
	assert.equal(variableValues(s).line_state, 'unknown')
	assert.equal(checks.screen_on_air(run({ type: 'screen', screen: 2 }), { screen: 2 }), false)
})

test('a selection changes the shown screen, not what is on air', () => {
	const s = run(STATE, { type: 'on_air', on_air: { cleared: false, screen: 1, text: 'x', origin: 'page' } }, { type: 'screen', screen: 3 })
	assert.equal(variableValues(s).screen, 3)
	assert.equal(checks.screen_on_air(s, { screen: 1 }), true)
})
