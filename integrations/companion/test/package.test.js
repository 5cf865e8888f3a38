// The package as Companion loads it: the manifest, and definitions that refer to each other.
const test = require('node:test')
const assert = require('node:assert/strict')
const fs = require('node:fs')
const path = require('node:path')
const { validateManifest } = require('@companion-module/base')
const { makeInstance, lastStatus } = require('./host')
const { describeRefusal } = require('../src/client')
const { VARIABLES } = require('../src/definitions')

const root = path.join(__dirname, '..')
const manifest = JSON.parse(fs.readFileSync(path.join(root, 'companion/manifest.json'), 'utf8'))

test('the manifest passes the base package validator and names the entrypoint', () => {
	validateManifest(manifest, false)
	assert.equal(manifest.manufacturer, 'Halvercrest')
	assert.deepEqual(manifest.legacyIds, [])
	assert.ok(fs.existsSync(path.join(root, 'companion', manifest.runtime.entrypoint)))
	assert.ok(fs.existsSync(path.join(root, 'companion/HELP.md')))
})

test('presets use only defined actions, feedbacks and variables', async () => {
	const inst = makeInstance()
	await inst.init({ host: '', port: 8420 }, true, { token: '' })
	const variables = new Set(VARIABLES.map((v) => v.variableId))
	for (const [id, p] of Object.entries(inst.definedPresets)) {
		for (const a of p.steps.flatMap((s) => s.down)) assert.ok(inst.definedActions[a.actionId], `${id}: ${a.actionId}`)
		for (const f of p.feedbacks) assert.ok(inst.definedFeedbacks[f.feedbackId], `${id}: ${f.feedbackId}`)
		for (const [, v] of p.style.text.matchAll(/\$\([^:]+:([a-z_]+)\)/g)) assert.ok(variables.has(v), `${id}: ${v}`)
	}
	assert.deepEqual(Object.keys(inst.definedPresets), ['send_1', 'send_2', 'send_3', 'send_4', 'clear', 'take', 'next', 'previous', 'line'])
	assert.equal(lastStatus(inst).status, 'bad_config', 'no host nor token')
	await inst.destroy()
})

test('refusals map to the status Companion shows', () => {
	assert.equal(describeRefusal(401).status, 'bad_config')
	assert.equal(describeRefusal(421).status, 'bad_config')
	assert.equal(describeRefusal(404).status, 'unknown_error')
	assert.match(describeRefusal(404).message, /API version/)
	assert.deepEqual(describeRefusal(503, 'busy'), { status: 'connection_failure', message: 'HTTP 503: busy' })
})

// What companion-module-build made (test.sh builds before testing): started as Companion starts
// a module, it registers with its host under the API version it was built against.
const built = path.join(root, 'pkg')
test('the built package starts and registers with its host', { skip: !fs.existsSync(built) && 'not built', timeout: 20000 }, async () => {
	const { fork } = require('node:child_process')
	const child = fork(path.join(built, 'main.js'), [], {
		env: { ...process.env, MODULE_MANIFEST: path.join(built, 'companion/manifest.json'), CONNECTION_ID: 'c1', VERIFICATION_TOKEN: 'v1' },
		stdio: ['ignore', 'ignore', 'inherit', 'ipc'],
	})
	const register = await new Promise((resolve, reject) => {
		child.on('message', (m) => m.name === 'register' && resolve(JSON.parse(m.payload)))
		child.on('exit', (code) => reject(new Error(`the module ended with ${code}`)))
	})
	child.kill()
	const builtManifest = JSON.parse(fs.readFileSync(path.join(built, 'companion/manifest.json'), 'utf8'))
	validateManifest(builtManifest, false)
	assert.deepEqual(register, { apiVersion: builtManifest.runtime.apiVersion, connectionId: 'c1', verificationToken: 'v1' })
	// The line the current Companion releases load.
	assert.match(register.apiVersion, /^1\.13\.\d+$/)
	assert.ok(fs.existsSync(path.join(built, 'companion/HELP.md')))
})
