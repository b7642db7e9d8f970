"""Filters of kvx-sites.yml: one site's kvxctl run read into a result, and every site's."""
import json


def kvx_site_result(run):
    """{status, reason, phones} of a site from its registered kvxctl --json run."""
    output = run.get("stdout", "")
    try:
        document = json.loads(output)
        phones = document["results"]
    except (ValueError, KeyError, TypeError):
        # No JSON document: kvxctl did not run, or refused its arguments or the file.
        lines = (run.get("stderr") or run.get("msg") or "").strip().splitlines()
        reason = lines[-1] if lines else f"kvxctl ended with status {run.get('rc')}"
        return {"status": "FAILED", "reason": reason, "phones": []}
    failed = [p for p in phones if p.get("result") != "OK"]
    if not phones:
        reason = "no telephone found"
    elif failed:
        reason = f"{len(failed)} of {len(phones)} telephones failed"
    else:
        reason = None
    ok = run.get("rc") == 0 and phones and not failed
    return {"status": "OK" if ok else "FAILED", "reason": reason, "phones": phones}


def kvx_sites_report(hosts, names):
    """Every site's result, in inventory order; a host that never reported one failed."""
    sites = []
    for name, host in zip(names, hosts):
        result = host.get("kvx_site") or {
            "status": "FAILED", "phones": [],
            "reason": "no result: the host could not be reached or the job did not run"}
        sites.append(dict(result, site=name))
    return sites


class FilterModule:
    def filters(self):
        return {"kvx_site_result": kvx_site_result, "kvx_sites_report": kvx_sites_report}
