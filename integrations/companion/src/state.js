// What the module knows of the program, built only from the push channel's messages (and the
// cue list read once per connection, as the channel's first message does not carry it).

const CUE_FIELDS = ['file', 'count', 'next', 'on_air', 'next_text', 'on_air_text']

function emptyState() {
	return {
		known: false,
		screen: 0,
		onAir: { cleared: true, screen: 0, text: '', origin: '', cue: 0 },
		line: { state: 'unknown', connected: false, reason: '' },
		clock: 'unknown',
		cues: { file: '', count: 0, next: 0, on_air: 0, next_text: '', on_air_text: '' },
	}
}

function pickCues(cues, msg) {
	const out = { ...cues }
	for (const f of CUE_FIELDS) if (msg[f] !== undefined) out[f] = msg[f]
	return out
}

// Returns the state after one message; unknown types change nothing.
function applyMessage(state, msg) {
	const s = { ...state }
	switch (msg.type) {
		case 'state':
			s.known = true
			s.screen = msg.screen
			// A Clear leaves only `cleared` and `origin`: the rest stays what was last sent.
			s.onAir = { ...emptyState().onAir, ...msg.on_air }
			s.line = { state: msg.connected ? 'live' : 'lost', connected: !!msg.connected, reason: '' }
			s.clock = msg.clock
			break
		case 'on_air':
		case 'cleared':
			s.onAir = { ...s.onAir, ...msg.on_air }
			break
		case 'screen':
			s.screen = msg.screen
			break
		case 'line':
			s.line = { state: msg.state, connected: !!msg.connected, reason: msg.reason || msg.text || '' }
			break
		case 'clock':
			s.clock = msg.clock
			break
		case 'cue':
		case 'cues':
			s.cues = pickCues(s.cues, msg)
			break
	}
	return s
}

// The cue list as GET /api/v1/cues answers it.
function applyCues(state, cues) {
	return { ...state, cues: pickCues(state.cues, cues) }
}

function variableValues(s) {
	const onAir = s.onAir.cleared ? null : s.onAir
	return {
		on_air_screen: onAir ? onAir.screen : 0,
		on_air_text: onAir ? onAir.text : '',
		on_air_origin: s.onAir.origin,
		on_air_cleared: s.onAir.cleared,
		screen: s.screen,
		next_cue: s.cues.next,
		next_cue_text: s.cues.next_text,
		on_air_cue: s.cues.on_air,
		on_air_cue_text: s.cues.on_air_text,
		cue_count: s.cues.count,
		line_state: s.line.state,
		line_reason: s.line.reason,
		clock: s.clock,
	}
}

const checks = {
	screen_on_air: (s, o) => s.known && !s.onAir.cleared && s.onAir.screen === Number(o.screen),
	cleared: (s) => s.known && s.onAir.cleared,
	line_lost: (s) => s.known && !s.line.connected,
	clock_not_synchronised: (s) => s.clock === 'not synchronised',
	cue_next: (s, o) => s.known && s.cues.next !== 0 && s.cues.next === Number(o.cue),
	cue_on_air: (s, o) => s.known && s.cues.on_air !== 0 && s.cues.on_air === Number(o.cue),
}

module.exports = { emptyState, applyMessage, applyCues, variableValues, checks }
