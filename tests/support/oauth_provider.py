# A provider for the sign-in tests: an OAuth 2.0 authorization server on
# Python's http.server (authorization code with PKCE S256 only, checking the
# client, the loopback redirect URI and the verifier, handing out short-lived
# access tokens) and an aiosmtpd server over TLS whose AUTH XOAUTH2 and
# OAUTHBEARER accept only an access token the authorization server handed out and
# that has not expired. One process, so both see the same tokens.
#
# argv[1]: JSON {"client_id", "client_secret" (optional), "scope", "lifetime",
# "certificate", "key", "implicit", "mechanisms", "rotate" (each refresh hands
# out a new refresh token and spends the old one, as Microsoft's do)}. Prints one JSON line with
# the two ports, then one JSON line per message the SMTP server accepts.
# GET /control?action=... on the HTTP port: expire (every access token),
# revoke (every refresh token), deny (the next authorizations answer
# access_denied), refuse_code (the next code exchanges are refused), reset
# (neither any more), stats.
import asyncio, base64, hashlib, json, secrets, ssl, sys, threading, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlencode, urlparse

from aiosmtpd.smtp import SMTP, AuthResult

config = json.loads(sys.argv[1])
lock = threading.RLock()
codes = {}          # code -> (challenge, redirect_uri)
refresh_tokens = set()
access_tokens = {}  # token -> expiry (time.time())
flags = {"deny": False, "refuse_code": False}
counts = {"authorizations": 0, "code_grants": 0, "refresh_grants": 0, "refused_grants": 0,
          "logins": 0, "refused_logins": 0, "secret_seen": 0}


def hand_out(with_refresh):
    access = "at-" + secrets.token_urlsafe(16)
    access_tokens[access] = time.time() + config["lifetime"]
    answer = {"access_token": access, "token_type": "Bearer", "expires_in": config["lifetime"]}
    if with_refresh:
        refresh = "rt-" + secrets.token_urlsafe(16)
        refresh_tokens.add(refresh)
        answer["refresh_token"] = refresh
    return answer


class Provider(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def reply(self, status, body, content_type="application/json", location=None):
        data = body.encode()
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        if location:
            self.send_header("Location", location)
        self.end_headers()
        self.wfile.write(data)

    def refuse(self, status, error, description):
        with lock:
            counts["refused_grants"] += 1
        self.reply(status, json.dumps({"error": error, "error_description": description}))

    def do_GET(self):
        url = urlparse(self.path)
        query = {k: v[0] for k, v in parse_qs(url.query).items()}
        if url.path == "/control":
            with lock:
                action = query.get("action")
                if action == "expire":
                    for token in access_tokens:
                        access_tokens[token] = 0
                elif action == "revoke":
                    refresh_tokens.clear()
                elif action in flags:
                    flags[action] = True
                elif action == "reset":
                    for flag in flags:
                        flags[flag] = False
                self.reply(200, json.dumps(counts))
            return
        if url.path != "/authorize":
            self.reply(404, "not found", "text/plain")
            return
        redirect = query.get("redirect_uri", "")
        problems = []
        if query.get("response_type") != "code":
            problems.append("response_type")
        if query.get("client_id") != config["client_id"]:
            problems.append("client_id")
        parsed = urlparse(redirect)
        if parsed.scheme != "http" or parsed.hostname != "127.0.0.1" or not parsed.port or parsed.path != "/":
            problems.append("redirect_uri")
        if query.get("code_challenge_method") != "S256" or len(query.get("code_challenge", "")) != 43:
            problems.append("code_challenge")
        if query.get("scope") != config["scope"]:
            problems.append("scope")
        if not query.get("state"):
            problems.append("state")
        if problems:
            self.reply(400, "bad authorization request: " + ", ".join(problems), "text/plain")
            return
        with lock:
            counts["authorizations"] += 1
            if flags["deny"]:
                answer = {"error": "access_denied", "error_description": "The user said no"}
            else:
                code = "code-" + secrets.token_urlsafe(12)
                codes[code] = (query["code_challenge"], redirect)
                answer = {"code": code}
        answer["state"] = query["state"]
        self.reply(302, "", "text/plain", redirect + "?" + urlencode(answer))

    def do_POST(self):
        if urlparse(self.path).path != "/token":
            self.reply(404, "not found", "text/plain")
            return
        length = int(self.headers.get("Content-Length", "0"))
        form = {k: v[0] for k, v in parse_qs(self.rfile.read(length).decode()).items()}
        if form.get("client_id") != config["client_id"]:
            return self.refuse(401, "invalid_client", "unknown client")
        if "client_secret" in config:
            if form.get("client_secret") != config["client_secret"]:
                return self.refuse(401, "invalid_client", "wrong client secret")
            with lock:
                counts["secret_seen"] += 1
        grant = form.get("grant_type")
        with lock:
            if grant == "authorization_code":
                if flags["refuse_code"]:
                    return self.refuse(400, "invalid_grant", "The code was refused")
                entry = codes.pop(form.get("code", ""), None)
                if entry is None:
                    return self.refuse(400, "invalid_grant", "unknown code")
                challenge, redirect = entry
                verifier = form.get("code_verifier", "")
                computed = base64.urlsafe_b64encode(hashlib.sha256(verifier.encode()).digest()).rstrip(b"=").decode()
                if computed != challenge or not 43 <= len(verifier) <= 128:
                    return self.refuse(400, "invalid_grant", "PKCE verification failed")
                if form.get("redirect_uri") != redirect:
                    return self.refuse(400, "invalid_grant", "redirect_uri differs")
                counts["code_grants"] += 1
                answer = hand_out(True)
            elif grant == "refresh_token":
                if form.get("refresh_token") not in refresh_tokens:
                    return self.refuse(400, "invalid_grant", "Token has been expired or revoked.")
                counts["refresh_grants"] += 1
                if config.get("rotate"):
                    refresh_tokens.discard(form["refresh_token"])
                answer = hand_out(config.get("rotate", False))
            else:
                return self.refuse(400, "unsupported_grant_type", str(grant))
        self.reply(200, json.dumps(answer))


def bearer(response):
    # XOAUTH2: "user=U^Aauth=Bearer T^A^A"; OAUTHBEARER: "n,a=U,^Aauth=Bearer T^A^A".
    user, token = None, None
    for part in response.split("\x01"):
        if part.startswith("user="):
            user = part[5:]
        elif part.startswith("n,a="):
            user = part[4:].split(",")[0]
        elif part.startswith("auth=Bearer "):
            token = part[12:]
    return user, token


class Mail:
    async def handle_DATA(self, server, session, envelope):
        print(json.dumps({"from": envelope.mail_from, "to": envelope.rcpt_tos,
                          "data": base64.b64encode(envelope.original_content).decode()}), flush=True)
        return "250 OK"

    async def check(self, server, args, refusal):
        response = base64.b64decode(args[1]).decode() if len(args) > 1 else ""
        user, token = bearer(response)
        with lock:
            good = token in access_tokens and access_tokens[token] > time.time() and user == config["user"]
            counts["logins" if good else "refused_logins"] += 1
        if good:
            return AuthResult(success=True, auth_data=user)
        await server.challenge_auth(json.dumps(refusal))
        return AuthResult(success=False, handled=False)

    async def auth_XOAUTH2(self, server, args):
        return await self.check(server, args, {"status": "401", "schemes": "Bearer", "scope": config["scope"]})

    async def auth_OAUTHBEARER(self, server, args):
        return await self.check(server, args, {"status": "invalid_token", "scope": config["scope"]})


context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(config["certificate"], config["key"])
offered = config.get("mechanisms", ["XOAUTH2", "OAUTHBEARER"])
excluded = [m for m in ("PLAIN", "LOGIN", "XOAUTH2", "OAUTHBEARER") if m not in offered]


def make_smtp():
    options = dict(auth_required=True, auth_exclude_mechanism=excluded)
    if not config.get("implicit"):
        options.update(tls_context=context, require_starttls=True)
    else:
        options.update(auth_require_tls=False)
    return SMTP(Mail(), **options)


async def main():
    http = ThreadingHTTPServer(("127.0.0.1", 0), Provider)
    threading.Thread(target=http.serve_forever, daemon=True).start()
    loop = asyncio.get_running_loop()
    smtp = await loop.create_server(make_smtp, "127.0.0.1", 0, ssl=context if config.get("implicit") else None)
    print(json.dumps({"http": http.server_address[1], "smtp": smtp.sockets[0].getsockname()[1]}), flush=True)
    await smtp.serve_forever()

asyncio.run(main())
