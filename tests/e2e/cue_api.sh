# The HTTP calls the cue scripts make: each answer in $WORK/answer, its status in $CODE.
# Needs $TOKEN and $PORT; $API_MAX_TIME (s) bounds a call, 20 unless set.
api() {
    local method=$1 path=$2
    shift 2
    local args=(-sS -o "$WORK/answer" -w '%{http_code}' -X "$method" -H 'Expect:'
                -H "Authorization: Bearer $TOKEN" --max-time "${API_MAX_TIME:-20}")
    [ "$method" = POST ] && args+=(-H 'Content-Type: application/json')
    [ $# -gt 0 ] && args+=(--data-binary "$1")
    CODE=$(curl "${args[@]}" "http://127.0.0.1:$PORT$path" 2>"$WORK/curl.err") || CODE=000
}
expect_api() {
    local want=$1
    shift
    api "$@"
    [ "$CODE" = "$want" ] || fail "$1 $2: HTTP $CODE, expected $want: $(head -c 300 "$WORK/answer")"
}
field() { jq -r "$1" "$WORK/answer"; }
