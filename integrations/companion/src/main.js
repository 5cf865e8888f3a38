const { runEntrypoint } = require('@companion-module/base')
const { TessoraInstance } = require('./instance')

runEntrypoint(TessoraInstance, [])
