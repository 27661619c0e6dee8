"""Sends /cam/saveSettings requests holding one JSON key 700 times and reports
the server's resident memory. Usage: repeated_keys.py PORT PID REQUESTS"""
import http.client
import sys
import urllib.parse


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def main():
    port, pid, requests = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
    body = "{" + '"a":[1],' * 700 + '"b":0}'
    target = "/cam/saveSettings?camList=" + urllib.parse.quote(body, safe="")
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)

    def send(n):
        for _ in range(n):
            conn.request("GET", target)
            answer = conn.getresponse().read()
            if b"Wrong camera settings!" not in answer:
                raise RuntimeError(answer)

    send(100)
    before = rss_kib(pid)
    send(requests)
    after = rss_kib(pid)
    print(f"request target: {len(target)} bytes")
    print(f"requests: {requests}")
    print(f"VmRSS after warm-up: {before} KiB")
    print(f"VmRSS after run:     {after} KiB")
    print(f"growth:              {(after - before) / 1024:.2f} MiB")


main()
