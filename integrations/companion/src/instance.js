const { InstanceBase, InstanceStatus } = require('@companion-module/base')
const { TessoraClient, describeRefusal } = require('./client')
const { emptyState, applyMessage, applyCues, variableValues } = require('./state')
const { actions, feedbacks, VARIABLES, presets } = require('./definitions')

class TessoraInstance extends InstanceBase {
	constructor(internal) {
		super(internal)
		this.state = emptyState()
		this.client = null
		this.currentStatus = null
	}

	async init(config, _isFirstInit, secrets) {
		this.setActionDefinitions(actions(this))
		this.setFeedbackDefinitions(feedbacks(this))
		this.setVariableDefinitions(VARIABLES)
		this.setPresetDefinitions(presets(this))
		this.start(config, secrets)
	}

	async configUpdated(config, secrets) {
		this.start(config, secrets)
	}

	async destroy() {
		if (this.client) this.client.close()
		this.client = null
	}

	getConfigFields() {
		return [
			{ type: 'textinput', id: 'host', label: 'Host', width: 8, default: '127.0.0.1' },
			{ type: 'number', id: 'port', label: 'Port', width: 4, min: 1, max: 65535, default: 8420 },
			{
				type: 'secret-text',
				id: 'token',
				label: 'Token (tessora --remote-token prints it)',
				width: 12,
				default: '',
			},
		]
	}

	start(config, secrets) {
		if (this.client) this.client.close()
		this.publish(emptyState())
		const token = (secrets && secrets.token) || config.token || ''
		if (!config.host || !config.port || !token) {
			this.client = null
			this.setStatus(InstanceStatus.BadConfig, 'Host, port and token are needed')
			return
		}
		this.client = new TessoraClient({ host: config.host, port: config.port, token }, {
			onMessage: (msg) => this.onMessage(msg),
			onStatus: (status, message) => this.setStatus(status, message),
			onClose: () => {
				this.publish(emptyState())
				if (this.currentStatus === InstanceStatus.Ok || this.currentStatus === InstanceStatus.Connecting)
					this.setStatus(InstanceStatus.ConnectionFailure, 'The program closed the connection')
			},
		})
		this.setStatus(InstanceStatus.Connecting)
		this.client.connect()
	}

	setStatus(status, message) {
		this.currentStatus = status
		this.updateStatus(status, message ?? null)
	}

	onMessage(msg) {
		if (!this.state.known && msg.type !== 'state') {
			this.setStatus(InstanceStatus.UnknownError, `Unknown API version: first message "${msg.type}"`)
			return
		}
		this.publish(applyMessage(this.state, msg))
		if (msg.type === 'state') this.readCues()
	}

	// The channel's first message has no cue list: it is read once per connection, again a
	// little later while the program is busy (a dialog open answers 409).
	async readCues() {
		const client = this.client
		for (;;) {
			let r
			try {
				r = await client.request('GET', 'cues')
			} catch (err) {
				r = { code: 0, error: err.code || err.message }
			}
			if (client !== this.client || !client.ws) return
			if (r.code === 200) {
				this.publish(applyCues(this.state, r.body))
				this.setStatus(InstanceStatus.Ok)
				return
			}
			if (r.code === 401 || r.code === 421 || r.code === 404) {
				const d = describeRefusal(r.code, r.body && r.body.error)
				this.setStatus(d.status, d.message)
				return
			}
			this.setStatus(InstanceStatus.Connecting, `Reading the cue list: ${r.error || r.code}`)
			await new Promise((resolve) => setTimeout(resolve, 500))
		}
	}

	publish(state) {
		this.state = state
		this.setVariableValues(variableValues(state))
		this.checkFeedbacks()
	}

	// An action's call; a refusal is logged with the program's reason.
	async call(method, path, body) {
		if (!this.client) throw new Error('Not configured')
		let r
		try {
			r = await this.client.request(method, path, body)
		} catch (err) {
			this.log('error', `${method} ${path}: ${err.code || err.message}`)
			return
		}
		if (r.code === 200) return r.body
		this.log('warn', `${method} ${path}: ${r.code} ${(r.body && r.body.error) || ''}`)
		if (r.code === 401 || r.code === 421 || r.code === 404) {
			const d = describeRefusal(r.code, r.body && r.body.error)
			this.setStatus(d.status, d.message)
		}
		return r.body
	}
}

module.exports = { TessoraInstance }
