// Actions, feedbacks, variables and presets, each a thin layer over the remote calls and the
// state checks.
const { combineRgb } = require('@companion-module/base')
const { checks } = require('./state')

const SCREENS = [1, 2, 3, 4].map((n) => ({ id: n, label: `Screen ${n}` }))
const CORNERS = [
	{ id: -1, label: 'Leave as it is' },
	{ id: 0, label: 'None' },
	{ id: 1, label: 'Top Left' },
	{ id: 2, label: 'Top Right' },
	{ id: 3, label: 'Bottom Left' },
	{ id: 4, label: 'Bottom Right' },
]
const screenOption = { id: 'screen', type: 'dropdown', label: 'Screen', choices: SCREENS, default: 1 }
const cueOption = { id: 'cue', type: 'number', label: 'Cue', min: 1, max: 9999, default: 1 }

const RED = combineRgb(200, 0, 0)
const GREEN = combineRgb(0, 150, 0)
const AMBER = combineRgb(200, 120, 0)
const WHITE = combineRgb(255, 255, 255)
const BLACK = combineRgb(0, 0, 0)

function actions(self) {
	const call = (method, path, body) => self.call(method, path, body)
	return {
		send: {
			name: 'Send screen',
			options: [{ ...screenOption, choices: [{ id: 0, label: 'The shown screen' }, ...SCREENS], default: 0 }],
			callback: (a) => call('POST', 'send', Number(a.options.screen) ? { screen: Number(a.options.screen) } : undefined),
		},
		clear: { name: 'Clear', options: [], callback: () => call('POST', 'clear') },
		select: {
			name: 'Select screen',
			options: [screenOption],
			callback: (a) => call('POST', `screens/${Number(a.options.screen)}/select`),
		},
		set_screen: {
			name: "Set a screen's text and corners",
			options: [
				screenOption,
				{ id: 'text', type: 'textinput', label: 'Text (\\n for a new row)', default: '', useVariables: true },
				{ id: 'keep_text', type: 'checkbox', label: 'Leave the text as it is', default: false },
				{ id: 'date', type: 'dropdown', label: 'Date corner', choices: CORNERS, default: -1 },
				{ id: 'time', type: 'dropdown', label: 'Time corner', choices: CORNERS, default: -1 },
			],
			callback: async (a, context) => {
				const body = {}
				if (!a.options.keep_text) {
					const text = await context.parseVariablesInString(String(a.options.text))
					body.text = text.replace(/\\n/g, '\n')
				}
				if (Number(a.options.date) >= 0) body.date = Number(a.options.date)
				if (Number(a.options.time) >= 0) body.time = Number(a.options.time)
				return call('PUT', `screens/${Number(a.options.screen)}`, body)
			},
		},
		take: {
			name: 'Take cue',
			options: [{ ...cueOption, label: 'Cue (0 takes the next)', min: 0, default: 0 }],
			callback: (a) => call('POST', 'cues/take', Number(a.options.cue) ? { cue: Number(a.options.cue) } : undefined),
		},
		next: { name: 'Next cue marker on', options: [], callback: () => call('POST', 'cues/next') },
		previous: { name: 'Next cue marker back', options: [], callback: () => call('POST', 'cues/previous') },
	}
}

function feedbacks(self) {
	const check = (id) => (fb) => checks[id](self.state, fb.options)
	const boolean = (name, id, bgcolor, options = []) => ({
		type: 'boolean',
		name,
		defaultStyle: { bgcolor, color: WHITE },
		options,
		callback: check(id),
	})
	return {
		screen_on_air: boolean('Screen on air', 'screen_on_air', RED, [screenOption]),
		cleared: boolean('Unit cleared', 'cleared', GREEN),
		line_lost: boolean('Line lost', 'line_lost', RED),
		clock_not_synchronised: boolean('Clock not synchronised', 'clock_not_synchronised', AMBER),
		cue_next: boolean('Cue is next', 'cue_next', GREEN, [cueOption]),
		cue_on_air: boolean('Cue on air', 'cue_on_air', RED, [cueOption]),
	}
}

const VARIABLES = [
	['on_air_screen', 'Screen on air (0 when cleared)'],
	['on_air_text', 'Text on air'],
	['on_air_origin', 'Who sent what is on air (page, key, strip, remote, cue, program)'],
	['on_air_cleared', 'The unit is cleared'],
	['screen', 'Screen shown in the window'],
	['next_cue', 'Next cue number (0 for none)'],
	['next_cue_text', "Next cue's first line"],
	['on_air_cue', 'Cue on air (0 for none)'],
	['on_air_cue_text', "On-air cue's first line"],
	['cue_count', 'Cues in the list'],
	['line_state', 'Line state (live, lost, back, closed; unknown while not connected)'],
	['line_reason', 'Why the line was lost'],
	['clock', 'Clock (synchronised, not synchronised, unknown)'],
].map(([variableId, name]) => ({ variableId, name }))

function button(name, text, down, fbs = [], size = '14') {
	return {
		type: 'button',
		category: 'Tessora',
		name,
		style: { text, size, color: WHITE, bgcolor: BLACK },
		steps: [{ down, up: [] }],
		feedbacks: fbs,
	}
}

function presets(self) {
	const id = self.label || 'tessora'
	const out = {}
	for (const n of [1, 2, 3, 4]) {
		out[`send_${n}`] = button(`Send ${n}`, `SEND\n${n}`, [{ actionId: 'send', options: { screen: n } }], [
			{ feedbackId: 'screen_on_air', options: { screen: n }, style: { bgcolor: RED, color: WHITE } },
		])
	}
	out.clear = button('Clear', 'CLEAR', [{ actionId: 'clear', options: {} }], [
		{ feedbackId: 'cleared', options: {}, style: { bgcolor: GREEN, color: WHITE } },
	])
	out.take = button('Take the next cue', `TAKE\n$(${id}:next_cue_text)`, [{ actionId: 'take', options: { cue: 0 } }], [], 'auto')
	out.next = button('Next', 'NEXT', [{ actionId: 'next', options: {} }])
	out.previous = button('Previous', 'PREV', [{ actionId: 'previous', options: {} }])
	out.line = button('Line state', `LINE\n$(${id}:line_state)`, [], [
		{ feedbackId: 'line_lost', options: {}, style: { bgcolor: RED, color: WHITE } },
	], 'auto')
	return out
}

module.exports = { actions, feedbacks, VARIABLES, presets }
