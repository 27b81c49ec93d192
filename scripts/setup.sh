# Shared set-up of ./run, ./test and scripts/bench: locale, packages, build, local Firebird
# server. Sourced with the project folder as the working directory. Every wait is bounded.

PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev qt6-translations-l10n
firebird-dev libfbclient2 libdxflib-dev firebird3.0-server firebird3.0-utils fonts-ipafont-gothic xvfb xauth"
# What only the tests use: an independent DXF reader, a PDF rasteriser and the package builder.
TEST_PACKAGES="python3-ezdxf poppler-utils dpkg-dev"
SYSDBA_PASSWORD=tallowfen
FB_SECURITY_DB=/var/lib/firebird/3.0/system/security3.fdb
FB_PASSWORD_FILE=/etc/firebird/3.0/SYSDBA.password
# A folder the server may create databases in, for the README's first settings and for the
# login check.
DATA_FOLDER=/var/lib/firebird/3.0/data/
FB_STARTED_PID=
FB_LOGIN_ERROR=
FB_CONF=/etc/firebird/3.0/firebird.conf
# The port the server sends its event notes through; by default a random one, which no
# firewall rule can let through.
FB_AUX_PORT=3051

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

as_firebird() {
    if [ "$(id -u)" = 0 ]; then runuser -u firebird -- "$@"; else sudo -u firebird "$@"; fi
}

# Without a UTF-8 character type the Firebird client drops every non-ASCII byte of a file
# name, and the build's tools and the tests see Japanese text as bytes.
use_utf8_locale() {
    case "$(locale charmap 2>/dev/null)" in
        UTF-8) ;;
        *) export LC_ALL=C.UTF-8 ;;
    esac
}

# The program's packages and any named as arguments.
ensure_packages() {
    missing=
    for p in $PACKAGES "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    apt_get update -q || { echo "apt-get update failed or took over 10 minutes." >&2; return 1; }
    apt_get install -y -q $missing ||
        { echo "Installing$missing failed or took over 10 minutes." >&2; return 1; }
}

apt_get() {
    as_root env DEBIAN_FRONTEND=noninteractive timeout 600 \
        apt-get -o DPkg::Lock::Timeout=120 "$@"
}

build() {
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    cmake --build build
}

# Debian's hosts file names ::1 as localhost too, and the package binds the server to
# "localhost": it may listen on either address.
server_listening() {
    local address
    for address in 127.0.0.1 ::1; do
        timeout 3 bash -c "exec 3<>/dev/tcp/$address/3050" 2>/dev/null && return 0
    done
    return 1
}

# Logs in through the server as SYSDBA with the given password, creating and dropping a
# scratch database, and runs the extra statement inside. Succeeds only when all of it worked;
# otherwise FB_LOGIN_ERROR holds the server's answer on one line.
server_login() {
    local scratch out
    scratch="localhost:${DATA_FOLDER}harokan-check-$$-$RANDOM.fdb"
    out=$(printf "CREATE DATABASE '%s' USER 'SYSDBA' PASSWORD '%s';\n%s\n%s\nDROP DATABASE;\n" \
        "$scratch" "$1" "$2" "SELECT 'harokan-login-ok' FROM RDB\$DATABASE;" |
        timeout 30 isql-fb -q 2>&1) || true
    case "$out" in
        *harokan-login-ok*) return 0 ;;
    esac
    if [ -z "$out" ]; then
        FB_LOGIN_ERROR="no answer within 30 seconds"
    else
        FB_LOGIN_ERROR=$(printf '%s\n' "$out" | grep -v -e '^[[:space:]]*$' -e '^Statement failed' \
            -e '^-*SQL error code' -e '^After line' | head -n 2 | tr '\n' ' ')
    fi
    return 1
}

# The server converts file names through its own character type: under "C" it cannot reach a
# folder with Japanese characters, whatever the client sends.
server_utf8() {
    local pid value
    pid=$(pgrep -x firebird | head -n 1)
    [ -n "$pid" ] || return 0
    value=$(as_root cat "/proc/$pid/environ" 2>/dev/null | tr '\0' '\n' |
        sed -n -e 's/^LC_ALL=\(..*\)/1 \1/p' -e 's/^LC_CTYPE=\(..*\)/2 \1/p' \
            -e 's/^LANG=\(..*\)/3 \1/p' | sort | head -n 1) || value=
    case "$value" in
        *[Uu][Tt][Ff]-8* | *[Uu][Tt][Ff]8*) return 0 ;;
    esac
    return 1
}

# Gives the server a fixed event port, taken when it next starts; a line already set to it is
# left alone, another value of ours or the package's replaced, a commented one kept.
fixed_aux_port() {
    [ -f "$FB_CONF" ] || return 0
    local set="^[[:space:]]*RemoteAuxPort[[:space:]]*="
    if as_root grep -Eq "${set}[[:space:]]*${FB_AUX_PORT}[[:space:]]*\$" "$FB_CONF"; then
        return 0
    fi
    if as_root grep -Eq "$set" "$FB_CONF"; then
        as_root timeout 10 sed -i -E "s/${set}.*/RemoteAuxPort = ${FB_AUX_PORT}/" "$FB_CONF"
    else
        printf '\n# Harokan: event notes through a fixed port (firewall: 3050 and this one).\n%s\n' \
            "RemoteAuxPort = $FB_AUX_PORT" | as_root timeout 10 tee -a "$FB_CONF" >/dev/null
    fi || echo "Warning: could not set RemoteAuxPort in $FB_CONF." >&2
}

# The package's service runs under the system's locale, which a minimal machine leaves unset.
use_utf8_service() {
    server_utf8 && return 0
    if [ -d /run/systemd/system ] && systemctl is-active -q firebird3.0 2>/dev/null; then
        echo "Restarting the firebird3.0 service under the C.UTF-8 locale."
        fixed_aux_port
        as_root mkdir -p /etc/systemd/system/firebird3.0.service.d
        printf '[Service]\nEnvironment=LANG=C.UTF-8\n' |
            as_root tee /etc/systemd/system/firebird3.0.service.d/utf8-locale.conf >/dev/null
        as_root timeout 30 systemctl daemon-reload &&
            as_root timeout 60 systemctl restart firebird3.0 || true
        for _ in $(seq 1 100); do
            server_listening && server_utf8 && return 0
            sleep 0.1
        done
    fi
    echo "Warning: the running Firebird server has no UTF-8 locale; it cannot reach folders" \
        "with Japanese names. Restart it with LANG=C.UTF-8." >&2
}

# Makes sure a local server accepts SYSDBA with our password. A server this shell starts is
# stopped again by stop_server.
ensure_server() {
    if server_listening; then
        use_utf8_service
        server_login "$SYSDBA_PASSWORD" "" && return 0
        # Probably the package's own service with the random password it was installed with.
        local old
        old=$(as_root sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' \
            "$FB_PASSWORD_FILE" 2>/dev/null) || old=
        if [ -n "$old" ] &&
            server_login "$old" "ALTER USER SYSDBA PASSWORD '$SYSDBA_PASSWORD';" &&
            server_login "$SYSDBA_PASSWORD" ""; then
            return 0
        fi
        echo "The Firebird server on localhost:3050 refuses SYSDBA/$SYSDBA_PASSWORD:" \
            "$FB_LOGIN_ERROR" >&2
        return 1
    fi
    # Nothing listens: set the password in the security database while no server holds it,
    # then start the server ourselves.
    if ! echo "ALTER USER SYSDBA PASSWORD '$SYSDBA_PASSWORD';" |
        as_firebird timeout 30 isql-fb -q -user SYSDBA "$FB_SECURITY_DB" >/dev/null 2>&1; then
        echo "Setting the SYSDBA password in $FB_SECURITY_DB failed or took over 30 s." >&2
        return 1
    fi
    fixed_aux_port
    as_root mkdir -p /run/firebird3.0
    as_root chown firebird:firebird /run/firebird3.0
    as_firebird /usr/sbin/firebird >/dev/null 2>&1 &
    FB_STARTED_PID=$!
    for _ in $(seq 1 100); do
        server_listening && break
        sleep 0.1
    done
    if ! server_listening; then
        echo "The local Firebird server did not start within 10 seconds." >&2
        stop_server
        return 1
    fi
    for _ in 1 2 3; do
        server_login "$SYSDBA_PASSWORD" "" && return 0
        sleep 1
    done
    echo "The local Firebird server started but refuses SYSDBA/$SYSDBA_PASSWORD:" \
        "$FB_LOGIN_ERROR" >&2
    stop_server
    return 1
}

# Runs as the exit trap under set -e: a process already gone must not turn a passed run into a
# failed one.
stop_server() {
    [ -n "$FB_STARTED_PID" ] || return 0
    as_root pkill -TERM -P "$FB_STARTED_PID" 2>/dev/null || true
    kill "$FB_STARTED_PID" 2>/dev/null || true
    for _ in $(seq 1 50); do
        server_listening || break
        sleep 0.1
    done
    if server_listening; then as_root pkill -KILL -P "$FB_STARTED_PID" 2>/dev/null || true; fi
    # A test that restarts the server leaves one that is no child of ours.
    if server_listening; then
        as_root pkill -TERM -x firebird 2>/dev/null || true
        for _ in $(seq 1 50); do
            server_listening || break
            sleep 0.1
        done
    fi
    FB_STARTED_PID=
}

# Everything ./run, ./test and scripts/bench need before their own work (packages named as
# arguments installed too); a server started here is stopped however the caller ends.
prepare() {
    use_utf8_locale
    ensure_packages "$@"
    build
    ensure_server
    trap stop_server EXIT
    trap 'exit 130' INT TERM HUP
}
