#!/usr/bin/env python3
"""The GitHub workflows, read as the runner reads them.

lint DIR RELEASING_MD: fails on a job's runner label that the table under "## Runner labels" in
    RELEASING_MD does not list, and on a `run` block over 8 lines (logic belongs in scripts/).
run WORKFLOW JOB [NAME=VALUE...]: runs a job's steps in the working folder (the checkout) as a
    runner does: `run` with `bash -e`, env with ${{ }} filled in (secrets.X from
    $REHEARSAL_SECRET_X, NAME=VALUE for the rest), steps after a failure only with always(), and
    the actions played: install-qt-action (QT_ROOT_DIR=$REHEARSAL_QT), upload- and
    download-artifact ($REHEARSAL/artifacts/NAME). Prints the job's outputs; 1 when a step failed.
"""
import glob, os, re, shutil, subprocess, sys, yaml


def labels(job):
    runs_on = str(job["runs-on"])
    m = re.fullmatch(r"\$\{\{\s*matrix\.(\w+)\s*\}\}", runs_on)
    if not m:
        return [runs_on]
    matrix = job["strategy"]["matrix"]
    return list(matrix.get(m.group(1), [])) + [row[m.group(1)] for row in matrix.get("include", [])]


def lint(folder, releasing):
    text = open(releasing).read().split("## Runner labels", 1)[-1].split("\n## ", 1)[0]
    listed = set(re.findall(r"^\| `([\w.-]+)` \|", text, re.M))
    problems = []
    for path in sorted(glob.glob(os.path.join(folder, "*.yml"))):
        name = os.path.basename(path)
        root = yaml.compose(open(path))
        for job_name, job in yaml.safe_load(open(path))["jobs"].items():
            problems += [f"{name}: job {job_name} runs on {label}, which {releasing} does not list"
                         for label in labels(job) if label not in listed]
        stack = [root]
        while stack:
            node = stack.pop()
            if isinstance(node, yaml.MappingNode):
                for key, value in node.value:
                    if key.value == "run" and isinstance(value, yaml.ScalarNode):
                        lines = len(value.value.splitlines())
                        if value.style == ">":  # folded: the lines as written
                            lines = value.end_mark.line - value.start_mark.line - 1
                        if lines > 8:
                            problems.append(f"{name}:{key.start_mark.line + 1}: a run block of {lines} lines")
                    stack.append(value)
            elif isinstance(node, yaml.SequenceNode):
                stack += node.value
    print("\n".join(problems) or f"workflows use only listed labels: {', '.join(sorted(listed))}")
    return 1 if problems else 0


def run(path, job_name, values):
    workflow = yaml.safe_load(open(path))
    job = workflow["jobs"][job_name]
    rehearsal = os.environ["REHEARSAL"]
    temp = os.path.join(rehearsal, "runner-temp-" + job_name)
    os.makedirs(temp, exist_ok=True)
    context = {"runner.temp": temp, **values}

    def fill(text):
        def one(m):
            key = m.group(1)
            if key.startswith("secrets."):
                return os.environ.get("REHEARSAL_SECRET_" + key[8:], "")
            if key not in context:
                sys.exit(f"workflow.py: no value for ${{{{ {key} }}}}")
            return context[key]
        return re.sub(r"\$\{\{\s*([\w.-]+)\s*\}\}", one, str(text))

    label = fill(job["runs-on"])
    env = dict(os.environ, RUNNER_TEMP=temp, GITHUB_WORKSPACE=os.getcwd(),
               RUNNER_ARCH="X64" if "intel" in label or "ubuntu" in label else "ARM64",
               GITHUB_STEP_SUMMARY=os.path.join(temp, "summary.md"))
    for scope in (workflow, job):
        env.update({k: fill(v) for k, v in (scope.get("env") or {}).items()})
    failed, outputs = False, {}
    for number, step in enumerate(job["steps"]):
        if failed and "always()" not in str(step.get("if", "")):
            continue
        uses, args = step.get("uses", ""), {k: fill(v) for k, v in (step.get("with") or {}).items()}
        store = os.path.join(rehearsal, "artifacts", args.get("name", ""))
        if uses.startswith("actions/checkout"):
            continue
        elif uses.startswith("jurplel/install-qt-action"):
            env["QT_ROOT_DIR"] = os.environ["REHEARSAL_QT"]
        elif uses.startswith("actions/upload-artifact"):
            files = glob.glob(args["path"])
            if not files and args.get("if-no-files-found", "warn") == "error":
                print(f"upload-artifact {args['name']}: no files at {args['path']}")
                failed = True
            os.makedirs(store, exist_ok=True)
            for file in files:
                shutil.copy(file, store)
        elif uses.startswith("actions/download-artifact"):
            os.makedirs(args["path"], exist_ok=True)
            for file in glob.glob(os.path.join(store, "*")):
                shutil.copy(file, args["path"])
        elif "run" in step:
            output = os.path.join(temp, f"output-{number}")
            open(output, "w").close()
            step_env = dict(env, GITHUB_OUTPUT=output)
            step_env.update({k: fill(v) for k, v in (step.get("env") or {}).items()})
            print(f"::: {job_name} / {step.get('name', step['run'].splitlines()[0])}", flush=True)
            if subprocess.run(["bash", "-e", "-c", fill(step["run"])], env=step_env).returncode:
                print(f"::: {job_name}: the step failed", flush=True)
                failed = True
            for line in open(output):
                key, _, value = line.strip().partition("=")
                context[f"steps.{step.get('id')}.outputs.{key}"] = value
        else:
            sys.exit(f"workflow.py: the rehearsal does not play {uses}")
    for key, value in (job.get("outputs") or {}).items():
        print(f"{key}={fill(value)}")
    return 1 if failed else 0


if __name__ == "__main__":
    if sys.argv[1] == "lint":
        sys.exit(lint(sys.argv[2], sys.argv[3]))
    sys.exit(run(sys.argv[2], sys.argv[3], dict(a.split("=", 1) for a in sys.argv[4:])))
