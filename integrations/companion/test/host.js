// A stand-in for Companion's host: the module's class made as Companion makes it, its messages
// to the host dropped, and what it tells the host (status, definitions) kept for the tests.
const { TessoraInstance } = require('../src/instance')

if (!process.send) process.send = () => true

function makeInstance() {
	const inst = new TessoraInstance({ id: 'test', _isInstanceBaseProps: true })
	inst.statuses = []
	const updateStatus = inst.updateStatus.bind(inst)
	inst.updateStatus = (status, message) => {
		inst.statuses.push({ status, message })
		updateStatus(status, message)
	}
	for (const kind of ['Action', 'Feedback', 'Preset']) {
		const set = inst[`set${kind}Definitions`].bind(inst)
		inst[`set${kind}Definitions`] = (defs) => {
			inst[`defined${kind}s`] = defs
			set(defs)
		}
	}
	return inst
}

const context = { parseVariablesInString: async (s) => s }

// Runs an action as Companion would on a button press.
function runAction(inst, actionId, options = {}) {
	return inst.definedActions[actionId].callback({ actionId, options }, context)
}

function feedback(inst, feedbackId, options = {}) {
	return inst.definedFeedbacks[feedbackId].callback({ feedbackId, options }, context)
}

const lastStatus = (inst) => inst.statuses[inst.statuses.length - 1] || {}

// Waits for a condition the module reaches by itself (a message handled, a status set).
async function until(what, test, limitMs = 20000) {
	const deadline = Date.now() + limitMs
	while (!test()) {
		if (Date.now() > deadline) throw new Error(`timed out waiting for ${typeof what === "function" ? what() : what}`)
		await new Promise((r) => setTimeout(r, 2))
	}
}

module.exports = { makeInstance, runAction, feedback, lastStatus, until }
